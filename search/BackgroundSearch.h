#pragma once

#include "model/Core.h"

#include <optional>

/**
    Runs transcript searches away from the message thread, so that a search over a large
    database never freezes the window, and hands each finished search to Core: the same words
    and hits, in the same order, as TranscriptSearch::search gives, followed by the same "sc".

    The database part runs on the thread "transcriptSearch" under Core's database lock; the
    marker part and the hand-over run on the message thread. A new search replaces the one under
    way, which stops within milliseconds and is forgotten. Until the hand-over Core keeps the
    previous search; isRunning and getRunningWords say what is coming.

    Created, used and deleted on the message thread, and deleted before Core.
*/
class BackgroundSearch final : private juce::Thread,
                               private juce::AsyncUpdater
{
public:
    explicit BackgroundSearch (Core& core);

    /** Stops the search under way, if any; its hits never reach Core. */
    ~BackgroundSearch() override;

    /** Starts a search for the words in place of any under way. No words clear the search at
        once, as TranscriptSearch::search does.
    */
    void start (const juce::StringArray& words);

    /** Whether a search was started and its hits have not reached Core yet. */
    bool isRunning() const noexcept { return running; }

    /** The words of the search under way. */
    const juce::StringArray& getRunningWords() const noexcept { return runningWords; }

private:
    struct Job
    {
        juce::StringArray words;
        int generation = 0;
    };

    void run() override;
    void handleAsyncUpdate() override;

    static constexpr int stopTimeoutMs = ThreadStop::timeoutMs;

    Core& core;
    std::atomic<int> generation { 0 };
    bool running = false;
    juce::StringArray runningWords;

    juce::CriticalSection lock;
    std::optional<Job> pendingJob;
    int finishedGeneration = -1;
    Core::SearchHits finishedHits;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackgroundSearch)
};
