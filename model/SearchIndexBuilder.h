#pragma once

#include "model/SearchDatabaseIndex.h"
#include "model/ThreadStop.h"

#include <functional>
#include <memory>

struct sqlite3;

/**
    Builds the index of the search database on a thread of its own, "searchIndex", at the
    lowest priority, so that neither the message thread nor a search waits for it.

    Each build reads from a connection of its own that the builder is handed and closes. A newer
    build, or a cancel, ends the one under way; a build that is ended delivers nothing, so only
    a complete index of the database it was asked for is ever handed over.

    Owned by Core; any thread may call it.
*/
class SearchIndexBuilder final : private juce::Thread
{
public:
    /** Receives a finished build on the builder's thread: the index (nullptr when the database
        cannot be indexed) and the number the build was started with.
    */
    using Delivery = std::function<void (std::shared_ptr<const SearchDatabaseIndex> index, juce::uint64 generation)>;

    explicit SearchIndexBuilder (Delivery delivery);

    /** Ends the build under way, if any, and closes every connection it was handed. */
    ~SearchIndexBuilder() override;

    /** Builds the index of the database behind a connection, in place of any build under way
        or waiting; the builder owns the connection from now on. Never waits for the thread.
    */
    void build (sqlite3* connection, juce::uint64 generation);

    /** Ends the build under way or waiting, if any, without waiting for it. */
    void cancel();

    /** Waits until no build is under way or waiting; false when the time ran out. */
    bool waitUntilIdle (int timeoutMs) const;

    /** How long the thread is given to stop when the builder goes. */
    static constexpr int stopTimeoutMs = ThreadStop::timeoutMs;

private:
    void run() override;

    /** Forgets a waiting build, closing its connection. Called with the lock held. */
    void dropPendingLocked();

    const Delivery delivery;
    juce::CriticalSection lock;
    sqlite3* pendingConnection = nullptr;
    juce::uint64 pendingGeneration = 0;
    std::atomic<juce::uint64> wantedGeneration { 0 };
    juce::WaitableEvent idle { true };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchIndexBuilder)
};
