#pragma once

#include <JuceHeader.h>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace provider
{
/**
    The request threads of a GuardedHttpServer: a connection waits for a thread only while as
    many connections as allowed are being served, so clients slow to send or to read cannot keep
    the others waiting. A number of threads are kept ready; more are started as connections need
    them, up to the most allowed, and leave again once idle for a while.

    Each task remembers when it was queued (the connection's acceptance), which the task's thread
    can ask for. enqueue and shutdown are called by the server's listening thread.
*/
class ConnectionThreadPool final : public httplib::TaskQueue
{
public:
    using Clock = std::chrono::steady_clock;

    ConnectionThreadPool (int threadsKept, int mostThreads);
    ~ConnectionThreadPool() override;

    /** Queues a task, starting a thread for it when none is free and more are allowed. */
    void enqueue (std::function<void()> task) override;

    /** Runs what is queued, then ends every thread, waiting for them. */
    void shutdown() override;

    /** On a thread of the pool, while it runs a task: when the task was queued. */
    static std::optional<Clock::time_point> getQueuedTimeOfCurrentTask();

    /** Threads started and not yet ended. */
    int getThreadCount() const;

    /** How long a thread beyond those kept ready may stay idle before it ends. */
    static constexpr std::chrono::seconds idleLinger { 10 };

private:
    struct Task
    {
        std::function<void()> run;
        Clock::time_point queuedAt;
    };

    void work();
    void joinEndedThreads();

    const int threadsKept;
    const int mostThreads;

    mutable std::mutex lock;
    std::condition_variable wakeUp;
    std::deque<Task> tasks;
    std::list<std::thread> threads;
    std::vector<std::thread::id> endedThreads;
    int runningThreads = 0;
    int idleThreads = 0;
    bool stopping = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConnectionThreadPool)
};
} // namespace provider
