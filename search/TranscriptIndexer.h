#pragma once

#include <JuceHeader.h>

#include <functional>

namespace pugi
{
class xml_node;
}

/**
    Builds a search database file from a transcript document: for every chapter element
    (courses, lessons and chapters in document order) with a non-blank "text" child, the words
    and time stamps of its transcript, numbered as TranscriptScanner reads them.

    Runs on the search database updater's thread; benchmarks and tests call it directly.
*/
class TranscriptIndexer final
{
public:
    /** How a build ended. */
    enum class Result
    {
        /** The file holds the database. */
        built,

        /** The database could not be opened, created or written out. */
        failed,

        /** Asked to stop; the file holds a partial database. */
        stopped
    };

    /** Asked before every character of every transcript; true ends the build. */
    using StopCheck = std::function<bool()>;

    /** Writes the database of the document under a root element into a new file. */
    static Result build (const pugi::xml_node& root, const juce::File& databaseFile, const StopCheck& shouldStop);

    /** Calls a function with the id and transcript of every chapter element with a non-blank
        "text" child, courses, lessons and chapters in document order, until it returns false;
        false when it did.
    */
    static bool forEachTranscript (const pugi::xml_node& root, const std::function<bool (const juce::String& chapterId, const juce::String& transcript)>& function);

    /** The whole text below an element, trimmed: what the element says as a transcript. */
    static juce::String getTranscript (const pugi::xml_node& textElement);

private:
    TranscriptIndexer() = delete;
};
