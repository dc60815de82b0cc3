#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "bench/BenchClock.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "server/CatalogUpdateThread.h"
#include "server/HttpClient.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <future>
#include <thread>

/*
    How quickly the program lets go of a server that does not answer: the figures the tests
    leave to this benchmark, since on busy cores a test can only bound them against a hang.

    - HttpCancelOfASilentRequest: ms from HttpClient::cancel to the request's return, while the
      server holds its answer back (cancel_ms).
    - HttpThreadStopOfASilentRequest: the same for a thread asked to stop (stop_ms).
    - HttpStallDetection: how far past the stall limit a silent request ends (overshoot_ms).
    - CoreQueryDuringAStalledRefresh: the slowest of Core's queries while a catalog refresh waits
      on a server that holds its answer for a second (worst_query_ms, median_query_ms).
    Run with repetitions and compare the medians.
*/
namespace
{
FaultServer::Reply silentReply()
{
    FaultServer::Reply reply { makeTestBody (1000) };
    reply.answerDelayMs = 60000;
    return reply;
}

bool waitForRequest (const FaultServer& server, int count)
{
    for (const auto end = BenchClock::nowMs() + 10000.0; server.getRequestCount() < count; juce::Thread::sleep (1))
        if (BenchClock::nowMs() > end)
            return false;

    return true;
}

void HttpCancelOfASilentRequest (benchmark::State& state)
{
    FaultServer server;
    server.answerWith (silentReply());
    HttpClient client;
    double totalMs = 0.0;
    int requests = 0;

    for (auto _ : state)
    {
        std::atomic<double> endedAt { 0.0 };
        std::thread requester ([&] {
            juce::MemoryBlock body;
            client.get (server.getBaseUrl() + "video.bin", body);
            endedAt = BenchClock::nowMs();
        });

        if (! waitForRequest (server, ++requests))
        {
            state.SkipWithError ("the request never reached the server");
            client.cancel();
            requester.join();
            break;
        }

        const auto asked = BenchClock::nowMs();
        client.cancel();
        requester.join();
        totalMs += endedAt - asked;
    }

    state.counters["cancel_ms"] = benchmark::Counter (totalMs, benchmark::Counter::kAvgIterations);
}

void HttpThreadStopOfASilentRequest (benchmark::State& state)
{
    struct RequestThread final : juce::Thread
    {
        explicit RequestThread (juce::String u) : Thread ("request"), url (std::move (u)) {}
        ~RequestThread() override { stopThread (10000); }

        void run() override
        {
            juce::MemoryBlock body;
            HttpClient::forThisThread().get (url, body);
            endedAt = BenchClock::nowMs();
        }

        juce::String url;
        std::atomic<double> endedAt { 0.0 };
    };

    FaultServer server;
    server.answerWith (silentReply());
    double totalMs = 0.0;
    int requests = 0;

    for (auto _ : state)
    {
        RequestThread thread (server.getBaseUrl() + "video.bin");
        thread.startThread();

        if (! waitForRequest (server, ++requests))
        {
            state.SkipWithError ("the request never reached the server");
            break;
        }

        const auto asked = BenchClock::nowMs();
        thread.signalThreadShouldExit();
        thread.stopThread (10000);
        totalMs += thread.endedAt - asked;
    }

    state.counters["stop_ms"] = benchmark::Counter (totalMs, benchmark::Counter::kAvgIterations);
}

void HttpStallDetection (benchmark::State& state)
{
    const HttpClient::Limits quick { 1000, 500, 100 };
    FaultServer server;
    server.answerWith (silentReply());
    HttpClient client;
    double overshootMs = 0.0;

    for (auto _ : state)
    {
        juce::MemoryBlock body;
        const auto start = BenchClock::nowMs();
        client.get ({ server.getBaseUrl() + "catalog.php", quick }, body);
        overshootMs += BenchClock::nowMs() - start - quick.stallTimeoutMs;
    }

    state.counters["overshoot_ms"] = benchmark::Counter (overshootMs, benchmark::Counter::kAvgIterations);
}

struct RefreshHost final : CatalogUpdateThread::Host
{
    explicit RefreshHost (Core& c) : core (c) {}

    void setCatalogState (std::unique_ptr<Catalog> catalog, bool, bool) override
    {
        if (catalog != nullptr)
            core.setCatalog (std::move (catalog));
    }

    bool isCatalogOnline() const override { return true; }
    juce::String getPasswordHash() const override { return {}; }

    Core& core;
};

void CoreQueryDuringAStalledRefresh (benchmark::State& state)
{
    const ScratchHome home;
    PreferencesManager::getInstance()->load (home.getUserDataFolder().getChildFile ("preferences.xml"));
    const juce::String catalogText ("<catalog><course id='c1'/></catalog>");

    {
        Core core (home.getUserDataFolder());
        RefreshHost host (core);
        TestHttpServer server;
        server.setHandler ([&] (const TestHttpServer::Request&) {
            juce::Thread::sleep (1000);
            return TestHttpServer::Response { 200, catalogText };
        });

        std::vector<double> queryMs;

        for (auto _ : state)
        {
            auto catalog = std::make_unique<Catalog>();
            CatalogParser::parseCatalog (*catalog, *juce::parseXML (catalogText), true);
            core.setCatalog (std::move (catalog));

            // One round: the first wait lets the request go, the second ends the thread.
            CatalogUpdateThread thread (host, core);
            thread.setEndpoint ({ server.getBaseUrl() + "catalog.php", home.getUserDataFolder() });
            std::atomic<bool> done { false };
            int waits = 0;
            thread.setWaiter ([&] (CatalogUpdateThread&, int) {
                if (++waits == 1)
                    return true;

                done = true;
                return false;
            });
            thread.startThread();

            while (! done)
            {
                const auto start = BenchClock::nowMs();
                benchmark::DoNotOptimize (core.getNumCourses());
                queryMs.push_back (BenchClock::nowMs() - start);
                juce::Thread::sleep (2);
            }

            thread.stopThread (10000);
        }

        std::sort (queryMs.begin(), queryMs.end());
        state.counters["worst_query_ms"] = queryMs.empty() ? 0.0 : queryMs.back();
        state.counters["median_query_ms"] = queryMs.empty() ? 0.0 : queryMs[queryMs.size() / 2];
    }

    PreferencesManager::deleteInstance();
    SharedRes::deleteInstance();
}
} // namespace

BENCHMARK (HttpCancelOfASilentRequest)->Unit (benchmark::kMillisecond)->Iterations (5);
BENCHMARK (HttpThreadStopOfASilentRequest)->Unit (benchmark::kMillisecond)->Iterations (5);
BENCHMARK (HttpStallDetection)->Unit (benchmark::kMillisecond)->Iterations (3);
BENCHMARK (CoreQueryDuringAStalledRefresh)->Unit (benchmark::kMillisecond)->Iterations (2);
