#pragma once

#include "model/MovieLocalInfo.h"

/**
    The on-disk side of a user's chapters: folder and file names under the movies root, and the
    per-chapter state file ("local" with its markers).

    Identifiers come from the network, so a name that would not be a plain child of its parent
    folder ("", ".", "..") is refused rather than used as a path.

    Pure functions; Core calls them under its catalog lock, so a state file is never written by
    two threads at once.
*/
class LocalStorage final
{
public:
    /** The framework's legal-file-name form of an identifier. */
    static juce::String toLegalFileName (const juce::String& identifier);

    /** The child folder named after an identifier, or nothing when the cleaned name would not be
        a child of the parent (empty, "." or "..").
    */
    static std::optional<juce::File> childFolderFor (const juce::File& parent, const juce::String& identifier);

    /** The chapter's video file inside its folder: legal name + ".bin". */
    static juce::File getVideoFile (const juce::File& chapterDirectory, const juce::String& chapterId);

    /** The chapter's state file inside its folder: legal name + ".xml". */
    static juce::File getStateFile (const juce::File& chapterDirectory, const juce::String& chapterId);

    /** Reads a state file into a record that starts at its defaults. Returns false when the file
        is not a state document or holds a marker of an unknown kind; what was read before the
        problem stays in the record. Only a regular file of at most 64 MiB, without a document type
        and nested no deeper than a state document, is read at all; any other file at the path is
        set aside as "<name> (refused).xml" (and logged), so the next save cannot overwrite it.
    */
    static bool loadState (MovieLocalInfo& info, const juce::File& stateFile);

    /** Builds the state document of a record. */
    static std::unique_ptr<juce::XmlElement> createStateDocument (const MovieLocalInfo& info);

    /** Writes the state file through a temporary file and a move, creating its folder. A document
        larger than loading accepts is not written at all (and logged): the file keeps its last
        state rather than becoming one the program would refuse.
    */
    static bool saveState (const MovieLocalInfo& info, const juce::File& stateFile);

    /** A marker time as stored: up to nine significant digits. */
    static juce::String formatMarkerTime (double seconds);

private:
    LocalStorage() = delete;
};
