#pragma once

#include <JuceHeader.h>

#include <functional>

namespace pugi
{
class xml_node;
}

/**
    The chapters' transcripts kept for reading: "transcripts.dat" beside the search database,
    an SQLite file of its own (the search database keeps only its two tables) holding each
    chapter's transcript text as the indexer read it, so that the words the reader numbers are
    the words the search database numbers.

    The search database update writes a new file in its temporary folder and installs it over
    the kept one only once it is complete and on the disk, so the kept file is always one whole
    download, and readable without the network.

    Plain functions of their files; any thread.
*/
class TranscriptStore final
{
public:
    /** Asked between chapters; true ends a build. */
    using StopCheck = std::function<bool()>;

    /** How reading a chapter's transcript went. */
    enum class ReadResult
    {
        /** The transcript was read. */
        found,

        /** The kept file has no transcript for the chapter. */
        noTranscript,

        /** There is no kept file yet, or it cannot be read. */
        unavailable
    };

    /** The name of the kept file, beside "data.dat". */
    static constexpr const char* fileName = "transcripts.dat";

    /** The kept file that goes with a search database file. */
    static juce::File getFileBeside (const juce::File& searchDatabaseFile);

    /** Writes the transcript of every chapter of a transcript document into a new file (the
        first one of a chapter listed twice, as the search database keeps the first one's
        rows). False, with the file deleted, when it could not be written whole or was stopped.
    */
    static bool build (const pugi::xml_node& root, const juce::File& newFile, const StopCheck& shouldStop = {});

    /** Puts a new file in place of the kept one, atomically; the new file is gone afterwards in
        every case. False, with the kept file unchanged, when that failed.
    */
    static bool install (const juce::File& newFile, const juce::File& keptFile);

    /** Reads a chapter's transcript from the kept file. */
    static ReadResult read (const juce::File& keptFile, const juce::String& chapterId, juce::String& transcript);

    static constexpr const char* createTable = "CREATE TABLE main.transcripts (idmovie TEXT PRIMARY KEY, transcript TEXT)";
    static constexpr const char* insertSql = "INSERT OR IGNORE INTO main.transcripts (idmovie, transcript) VALUES (?1, ?2)";
    static constexpr const char* selectSql = "SELECT transcript FROM main.transcripts WHERE idmovie=?1";

private:
    TranscriptStore() = delete;
};
