#include "search/BackgroundSearch.h"

#include "model/Notifications.h"
#include "search/TranscriptSearch.h"

BackgroundSearch::BackgroundSearch (Core& c) : Thread ("transcriptSearch"), core (c)
{
}

BackgroundSearch::~BackgroundSearch()
{
    ++generation;
    stopThread (stopTimeoutMs);
    cancelPendingUpdate();
}

void BackgroundSearch::start (const juce::StringArray& words)
{
    const auto thisGeneration = ++generation;

    if (words.isEmpty())
    {
        running = false;
        runningWords.clear();
        TranscriptSearch::search (core, words);
        return;
    }

    running = true;
    runningWords = words;

    {
        const juce::ScopedLock sl (lock);
        pendingJob = Job { words, thisGeneration };
    }

    if (isThreadRunning())
        notify();
    else
        startThread();
}

void BackgroundSearch::run()
{
    while (! threadShouldExit())
    {
        std::optional<Job> job;

        {
            const juce::ScopedLock sl (lock);
            std::swap (job, pendingJob);
        }

        if (! job.has_value())
        {
            wait (-1);
            continue;
        }

        // A newer search makes this one stale: it stops and its hits are dropped.
        const auto isStale = [this, &job]
        { return threadShouldExit() || generation != job->generation; };
        Core::SearchHits hits;

        const auto finished = core.withSearchDatabaseAndIndex ([&] (sqlite3* db, const SearchDatabaseIndex* index)
                                                               { return TranscriptSearch::findSpokenWords (db, index, job->words, hits, isStale); });

        if (finished)
        {
            const juce::ScopedLock sl (lock);
            finishedGeneration = job->generation;
            finishedHits = std::move (hits);
            triggerAsyncUpdate();
        }
    }
}

void BackgroundSearch::handleAsyncUpdate()
{
    Core::SearchHits hits;
    int hitsGeneration = -1;

    {
        const juce::ScopedLock sl (lock);
        std::swap (hits, finishedHits);
        std::swap (hitsGeneration, finishedGeneration);
    }

    if (! running || hitsGeneration != generation)
        return;

    TranscriptSearch::findMarkers (core, runningWords, hits);
    running = false;
    core.setSearchResults (runningWords, std::move (hits));
    core.broadcast (Notifications::searchChanged);
}
