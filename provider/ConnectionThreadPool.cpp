#include "provider/ConnectionThreadPool.h"

namespace provider
{
namespace
{
thread_local std::optional<ConnectionThreadPool::Clock::time_point> queuedTimeOfCurrentTask;
} // namespace

ConnectionThreadPool::ConnectionThreadPool (int threadsKeptToUse, int mostThreadsToUse)
    : threadsKept (std::max (1, threadsKeptToUse)),
      mostThreads (std::max (threadsKept, mostThreadsToUse))
{
    const std::lock_guard<std::mutex> scope (lock);

    for (int i = 0; i < threadsKept; ++i)
    {
        ++runningThreads;
        threads.emplace_back ([this] { work(); });
    }
}

ConnectionThreadPool::~ConnectionThreadPool()
{
    shutdown();
}

void ConnectionThreadPool::enqueue (std::function<void()> task)
{
    joinEndedThreads();

    {
        const std::lock_guard<std::mutex> scope (lock);
        tasks.push_back ({ std::move (task), Clock::now() });

        if ((size_t) idleThreads < tasks.size() && runningThreads < mostThreads)
        {
            ++runningThreads;
            threads.emplace_back ([this] { work(); });
        }
    }

    wakeUp.notify_one();
}

void ConnectionThreadPool::shutdown()
{
    {
        const std::lock_guard<std::mutex> scope (lock);
        stopping = true;
    }

    wakeUp.notify_all();

    for (auto& thread : threads)
        if (thread.joinable())
            thread.join();

    const std::lock_guard<std::mutex> scope (lock);
    threads.clear();
    endedThreads.clear();
}

std::optional<ConnectionThreadPool::Clock::time_point> ConnectionThreadPool::getQueuedTimeOfCurrentTask()
{
    return queuedTimeOfCurrentTask;
}

int ConnectionThreadPool::getThreadCount() const
{
    const std::lock_guard<std::mutex> scope (lock);
    return runningThreads;
}

void ConnectionThreadPool::work()
{
    std::unique_lock<std::mutex> scope (lock);

    for (;;)
    {
        ++idleThreads;
        const bool woken = wakeUp.wait_for (scope, idleLinger, [this] { return stopping || ! tasks.empty(); });
        --idleThreads;

        if (tasks.empty())
        {
            if (stopping || (! woken && runningThreads > threadsKept))
            {
                --runningThreads;
                endedThreads.push_back (std::this_thread::get_id());
                return;
            }

            continue;
        }

        auto task = std::move (tasks.front());
        tasks.pop_front();
        scope.unlock();

        queuedTimeOfCurrentTask = task.queuedAt;
        task.run();
        queuedTimeOfCurrentTask.reset();

        scope.lock();
    }
}

void ConnectionThreadPool::joinEndedThreads()
{
    std::vector<std::thread> ended;

    {
        const std::lock_guard<std::mutex> scope (lock);

        for (auto id : endedThreads)
        {
            const auto found = std::find_if (threads.begin(), threads.end(), [id] (const std::thread& thread) { return thread.get_id() == id; });

            if (found != threads.end())
            {
                ended.push_back (std::move (*found));
                threads.erase (found);
            }
        }

        endedThreads.clear();
    }

    // An ended thread has only its return left to do.
    for (auto& thread : ended)
        thread.join();
}
} // namespace provider
