#pragma once

#include "search/TranscriptLines.h"

#include <list>
#include <memory>
#include <optional>

/**
    The chapters' transcripts as lines, read from the file the search database update keeps
    (TranscriptStore) and parsed once each; the last few chapters asked for are kept.

    An object is used on one thread at a time (the message thread, by the transcript pane and
    the results list); read() alone may run on any thread, so a long transcript can be parsed
    off the message thread and add()ed when it is ready.
*/
class TranscriptCache final
{
public:
    /** A cache reading the kept file beside a search database file. */
    explicit TranscriptCache (juce::File searchDatabaseFile);

    /** What is known of a chapter's transcript. */
    enum class Status
    {
        /** The lines are at hand. */
        found,

        /** The kept file has no transcript for the chapter. */
        noTranscript,

        /** No transcripts are kept yet (or the file cannot be read). */
        unavailable
    };

    /** A chapter's lines; nullptr, with the reason in status, when there are none. */
    std::shared_ptr<const TranscriptLines> get (const juce::String& chapterId, Status& status);

    /** What was read of one chapter. */
    struct Entry
    {
        juce::String chapterId;
        Status status = Status::unavailable;
        std::shared_ptr<const TranscriptLines> lines;
    };

    /** The chapter's entry if it is kept, made the most recent; nullopt when it must be read. */
    std::optional<Entry> find (const juce::String& chapterId);

    /** Reads and parses a chapter's transcript from the kept file; a parse the check stops
        leaves the lines cut short. Any thread.
    */
    static Entry read (const juce::File& keptFile, const juce::String& chapterId, const TranscriptLines::StopCheck& shouldStop = {});

    /** Keeps what was read, unless nothing could be: a missing file may appear with the next
        update.
    */
    void add (Entry entry);

    /** The file the transcripts are read from. */
    const juce::File& getKeptFile() const noexcept { return keptFile; }

    /** Forgets every parsed transcript, after the kept file was replaced. */
    void clear() { entries.clear(); }

    /** The chapters kept parsed. */
    static constexpr size_t capacity = 32;

private:
    juce::File keptFile;
    std::list<Entry> entries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptCache)
};
