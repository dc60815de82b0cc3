#pragma once

#include "search/TranscriptLines.h"

#include <list>
#include <memory>

/**
    The chapters' transcripts as lines, read from the file the search database update keeps
    (TranscriptStore) and parsed once each; the last few chapters asked for are kept.

    Used on one thread at a time (the message thread, by the transcript pane and the results
    list).
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

    /** Forgets every parsed transcript, after the kept file was replaced. */
    void clear() { entries.clear(); }

    /** The chapters kept parsed. */
    static constexpr size_t capacity = 32;

private:
    struct Entry
    {
        juce::String chapterId;
        Status status = Status::unavailable;
        std::shared_ptr<const TranscriptLines> lines;
    };

    juce::File keptFile;
    std::list<Entry> entries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptCache)
};
