#include "tests/provider/ProviderProcess.h"
#include "tests/provider/RawHttpConnection.h"
#include "tests/provider/TestLibraryWriter.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

/*
    tsy-provider under concurrent load: rounds in which many clients ask for the catalog at the
    same moment, each on a connection of its own, as players refreshing together would;
    optionally with slow clients dribbling request heads all the while (one byte a second each,
    connecting again whenever the server drops them).

    Counters: p50_ms, p99_ms and max_ms (one request, from connecting to its last byte), errors
    (failed connections, statuses other than 200, bodies of another length) and requests.
    Run: tsy_provider_bench [--benchmark_filter=...]
*/
namespace
{
constexpr int rounds = 20;
const std::string catalogPath = "/catalog.php?auth=0&lang=it&nocache=1";

/** The provider serving the sample library, started once per run; deletes its folder at exit. */
struct LoadedProvider
{
    LoadedProvider()
        : process ({ "--library", TestLibraryWriter::getSampleLibrary().getFullPathName(), "--access-log", folder.getChildFile ("access.log").getFullPathName() },
                   folder)
    {
    }

    ~LoadedProvider()
    {
        process.stop();
        folder.deleteRecursively();
    }

    static LoadedProvider& get()
    {
        static LoadedProvider provider;
        return provider;
    }

    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getNonexistentChildFile ("tsy-provider-bench-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false);
    ProviderProcess process;
};

/** Clients that never finish their request heads, on threads of their own. */
class SlowClients
{
public:
    SlowClients (int port, int count)
    {
        for (int i = 0; i < count; ++i)
            threads.emplace_back ([this, port] { dribble (port); });
    }

    ~SlowClients()
    {
        {
            const std::lock_guard<std::mutex> scope (lock);
            stopping = true;
        }

        wakeUp.notify_all();

        for (auto& thread : threads)
            thread.join();
    }

private:
    void dribble (int port)
    {
        std::unique_lock<std::mutex> scope (lock);

        while (! stopping)
        {
            RawHttpConnection connection (port);
            bool open = connection.send ("GET " + catalogPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");

            while (open && ! stopping)
            {
                wakeUp.wait_for (scope, std::chrono::seconds (1));
                open = connection.send ("x");
            }
        }
    }

    std::mutex lock;
    std::condition_variable wakeUp;
    bool stopping = false;
    std::vector<std::thread> threads;
};

double percentile (std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;

    std::sort (values.begin(), values.end());
    return values[std::min (values.size() - 1, (size_t) (fraction * (double) values.size()))];
}

void BM_ProviderConcurrentCatalog (benchmark::State& state)
{
    auto& provider = LoadedProvider::get();

    if (! provider.process.isRunning())
    {
        state.SkipWithError ("tsy-provider did not start (build the tsy-provider target)");
        return;
    }

    const auto port = provider.process.getPort();
    const auto clients = (int) state.range (0);
    const SlowClients slowClients (port, (int) state.range (1));

    httplib::Client probe ("127.0.0.1", port);
    const auto expected = probe.Get (catalogPath);

    if (! expected || expected->status != 200)
    {
        state.SkipWithError ("the catalog did not arrive");
        return;
    }

    const auto expectedLength = expected->body.size();
    std::vector<double> latencies;
    std::atomic<int> errors { 0 };
    std::mutex latenciesLock;

    for (auto _ : state)
    {
        for (int round = 0; round < rounds; ++round)
        {
            std::mutex startLock;
            std::condition_variable start;
            bool started = false;
            std::vector<std::thread> threads;

            for (int c = 0; c < clients; ++c)
            {
                threads.emplace_back ([&] {
                    {
                        std::unique_lock<std::mutex> scope (startLock);
                        start.wait (scope, [&started] { return started; });
                    }

                    const auto begin = juce::Time::getMillisecondCounterHiRes();
                    httplib::Client client ("127.0.0.1", port);
                    client.set_connection_timeout (10);
                    client.set_read_timeout (10);
                    const auto answer = client.Get (catalogPath);
                    const auto milliseconds = juce::Time::getMillisecondCounterHiRes() - begin;

                    if (! answer || answer->status != 200 || answer->body.size() != expectedLength)
                        ++errors;

                    const std::lock_guard<std::mutex> scope (latenciesLock);
                    latencies.push_back (milliseconds);
                });
            }

            {
                const std::lock_guard<std::mutex> scope (startLock);
                started = true;
            }

            start.notify_all();

            for (auto& thread : threads)
                thread.join();
        }
    }

    state.counters["requests"] = (double) latencies.size();
    state.counters["errors"] = (double) errors.load();
    state.counters["p50_ms"] = percentile (latencies, 0.50);
    state.counters["p99_ms"] = percentile (latencies, 0.99);
    state.counters["max_ms"] = percentile (latencies, 1.0);
}
} // namespace

// 200 clients at once, 20 rounds; then the same with 16 slow clients holding connections.
BENCHMARK (BM_ProviderConcurrentCatalog)->Args ({ 200, 0 })->Args ({ 200, 16 })->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();
