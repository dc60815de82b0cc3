#include "model/SearchIndexBuilder.h"

#include <sqlite3.h>

SearchIndexBuilder::SearchIndexBuilder (Delivery d) : Thread ("searchIndex"), delivery (std::move (d))
{
    idle.signal();
}

SearchIndexBuilder::~SearchIndexBuilder()
{
    cancel();
    stopThread (stopTimeoutMs);
}

void SearchIndexBuilder::build (sqlite3* connection, juce::uint64 generation)
{
    jassert (generation != 0);

    {
        const juce::ScopedLock sl (lock);
        dropPendingLocked();
        pendingConnection = connection;
        pendingGeneration = generation;
        wantedGeneration = generation;
        idle.reset();
    }

    if (isThreadRunning())
        notify();
    else
        startThread (juce::Thread::Priority::background);
}

void SearchIndexBuilder::cancel()
{
    const juce::ScopedLock sl (lock);
    dropPendingLocked();
    wantedGeneration = 0;
}

bool SearchIndexBuilder::waitUntilIdle (int timeoutMs) const
{
    return idle.wait (timeoutMs);
}

void SearchIndexBuilder::dropPendingLocked()
{
    sqlite3_close (pendingConnection);
    pendingConnection = nullptr;
    pendingGeneration = 0;
}

void SearchIndexBuilder::run()
{
    while (! threadShouldExit())
    {
        sqlite3* connection = nullptr;
        juce::uint64 generation = 0;

        {
            const juce::ScopedLock sl (lock);
            std::swap (connection, pendingConnection);
            std::swap (generation, pendingGeneration);

            if (connection == nullptr)
                idle.signal();
        }

        if (connection == nullptr)
        {
            wait (-1);
            continue;
        }

        const auto isUnwanted = [this, generation]
        { return threadShouldExit() || wantedGeneration != generation; };

        std::shared_ptr<const SearchDatabaseIndex> index = SearchDatabaseIndex::build (connection, isUnwanted);
        sqlite3_close (connection);

        if (! isUnwanted())
            delivery (std::move (index), generation);
    }

    const juce::ScopedLock sl (lock);
    dropPendingLocked();
    idle.signal();
}
