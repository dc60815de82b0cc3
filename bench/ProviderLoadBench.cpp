#include "tests/provider/NginxProcess.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

/*
    tsy-provider under load, serving a copy of the sample library whose first English chapter is
    a 32 MB video.

    BM_ProviderConcurrentCatalog: rounds in which many clients ask for the catalog at the same
    moment, each on a connection of its own, as players refreshing together would; optionally
    with slow clients dribbling request heads all the while. Counters: p50_ms, p99_ms and max_ms
    (one request, from connecting to its last byte), errors and requests.

    BM_ProviderBesideSlowReaders/N: what normal clients get alone, then beside N slow clients,
    in the same iteration, each phase 10 s long: the median catalog request of rounds of
    concurrent clients and the median throughput of whole chapter downloads. The slow clients
    are of four kinds, a quarter each: heads dribbled a byte a second, connections that say
    nothing, a chapter read at 16 KB/s (above the server's minimum send rate, so served to the
    end), and a chapter read at 1 KB/s (below it, so cut off); each connects again whenever the
    server lets it go.
    Counters: catalog_ms_alone, catalog_ms_beside, download_MBps_alone, download_MBps_beside,
    and their ratios (beside / alone); errors (failed requests, statuses other than 200, bodies
    of another length) and slow_connections (the slow clients' connections while measured).

    BM_ChapterDownloadProviderAndNginx/N: the same chapter downloaded whole by N clients at once
    from tsy-provider and from nginx serving an export of the same library (tsy-provider
    --export-media), a round from each in turn. Counters: provider_MBps and nginx_MBps (the
    median over rounds of all clients' bytes over the round's time), their ratio
    nginx_to_provider, and errors.

    Run: tsy_provider_bench [--benchmark_filter=...] (scripts/bench takes medians of five).
*/
namespace
{
constexpr int rounds = 20;
const std::string catalogPath = "/catalog.php?auth=0&lang=it&nocache=1";
const std::string chapterPath = "/videos/MOD3D-EN/MOD3D-EN-0101/MOD3D-EN-0101.bin";
constexpr juce::int64 chapterBytes = 32 * 1024 * 1024;

using Clock = std::chrono::steady_clock;

/** The provider serving the benchmark's library, started once per run; deletes its folder at exit. */
struct LoadedProvider
{
    LoadedProvider()
        : library (makeLibrary (folder)),
          process ({ "--library", library.getFullPathName(), "--access-log", folder.getChildFile ("access.log").getFullPathName() }, folder)
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

    static juce::File makeLibrary (const juce::File& parent)
    {
        parent.createDirectory();
        const auto copy = TestLibraryWriter::copySampleLibrary (parent);
        TestLibraryWriter::writeBytes (copy.getChildFile ("videos/MOD3D-EN-0101.mp4"), chapterBytes, 7);
        return copy;
    }

    const juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                  .getNonexistentChildFile ("tsy-provider-bench-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64()), {}, false);
    const juce::File library;
    ProviderProcess process;
};

/** A loopback connection driven by hand, byte by byte if need be; closed when it goes. */
class LoopbackSocket final
{
public:
    /** A receive buffer above 0 bytes keeps the kernel from taking much more than the client reads. */
    LoopbackSocket (int port, int receiveBufferBytes)
        : descriptor (::socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (descriptor >= 0 && receiveBufferBytes > 0)
            ::setsockopt (descriptor, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof (receiveBufferBytes));

        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t) port);
        address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);

        if (descriptor >= 0 && ::connect (descriptor, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0)
        {
            ::close (descriptor);
            descriptor = -1;
        }
    }

    ~LoopbackSocket()
    {
        if (descriptor >= 0)
            ::close (descriptor);
    }

    bool isConnected() const noexcept { return descriptor >= 0; }

    /** False once the server has closed or reset the connection. */
    bool send (const std::string& text)
    {
        for (size_t sent = 0; sent < text.size();)
        {
            const auto count = ::send (descriptor, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);

            if (count <= 0)
                return false;

            sent += (size_t) count;
        }

        return true;
    }

    /** Waits up to timeoutMs for bytes and throws away at most maxBytes of them: how many, or
        -1 once the server has closed or reset the connection.
    */
    ssize_t discard (size_t maxBytes, int timeoutMs)
    {
        pollfd request { descriptor, POLLIN, 0 };

        if (::poll (&request, 1, timeoutMs) <= 0)
            return 0;

        char buffer[16 * 1024];
        const auto count = ::recv (descriptor, buffer, std::min (sizeof (buffer), maxBytes), MSG_DONTWAIT);
        return count > 0 ? count : -1;
    }

private:
    int descriptor = -1;

    JUCE_DECLARE_NON_COPYABLE (LoopbackSocket)
};

/** Clients that hold the server's connections as long as it lets them, on threads of their own. */
class SlowClients
{
public:
    enum class Kind
    {
        dribblesHead,
        saysNothing,
        readsSlowly,
        readsTooSlowly
    };

    /** count clients of the given kinds in turn. */
    SlowClients (int portToUse, int count, std::vector<Kind> kinds)
        : port (portToUse)
    {
        for (int i = 0; i < count; ++i)
            threads.emplace_back ([this, kind = kinds[(size_t) i % kinds.size()]] { run (kind); });
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

    /** Waits until every client has connected once (the readers: and had the answer begin). */
    bool waitUntilInPlace (std::chrono::seconds timeout)
    {
        std::unique_lock<std::mutex> scope (lock);
        return wakeUp.wait_for (scope, timeout, [this] { return inPlace == threads.size(); });
    }

    /** Connections made so far. */
    int getConnections() const noexcept { return connections.load(); }

private:
    void run (Kind kind)
    {
        bool counted = false;
        const auto reads = kind == Kind::readsSlowly || kind == Kind::readsTooSlowly;

        // Reads of one tick, four ticks a second: 16 KB/s and 1 KB/s.
        const size_t bytesPerTick = kind == Kind::readsSlowly ? 4096 : 256;

        while (! pause (std::chrono::milliseconds (0)))
        {
            LoopbackSocket socket (port, reads ? 4096 : 0);

            if (! socket.isConnected())
            {
                pause (std::chrono::milliseconds (100));
                continue;
            }

            ++connections;
            const auto markInPlace = [&] {
                if (! std::exchange (counted, true))
                {
                    const std::lock_guard<std::mutex> scope (lock);
                    ++inPlace;
                    wakeUp.notify_all();
                }
            };

            if (kind == Kind::dribblesHead)
            {
                markInPlace();
                auto open = socket.send ("GET " + catalogPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");

                while (open && ! pause (std::chrono::seconds (1)))
                    open = socket.send ("x") && socket.discard (1024, 0) >= 0;
            }
            else if (kind == Kind::saysNothing)
            {
                markInPlace();

                while (! pause (std::chrono::milliseconds (0)) && socket.discard (1024, 250) >= 0)
                {
                }
            }
            else if (socket.send ("GET " + chapterPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"))
            {
                while (! pause (std::chrono::milliseconds (250)))
                {
                    const auto taken = socket.discard (bytesPerTick, 0);

                    if (taken < 0)
                        break;

                    if (taken > 0)
                        markInPlace();
                }
            }
        }
    }

    /** Waits for a while or until stopped; true when stopping. */
    bool pause (std::chrono::milliseconds duration)
    {
        std::unique_lock<std::mutex> scope (lock);
        return wakeUp.wait_for (scope, duration, [this] { return stopping; });
    }

    const int port;
    std::mutex lock;
    std::condition_variable wakeUp;
    bool stopping = false;
    size_t inPlace = 0;
    std::atomic<int> connections { 0 };
    std::vector<std::thread> threads;
};

double percentile (std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;

    std::sort (values.begin(), values.end());
    return values[std::min (values.size() - 1, (size_t) (fraction * (double) values.size()))];
}

/** Runs rounds of clients asking for the catalog at the same moment; each request's time in
    milliseconds, connecting included.
*/
std::vector<double> runCatalogRounds (int port, int roundCount, int clients, size_t expectedLength, std::atomic<int>& errors)
{
    std::vector<double> latencies;
    std::mutex latenciesLock;

    for (int round = 0; round < roundCount; ++round)
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

    return latencies;
}

/** Downloads a file whole, a number of times one after the other, counting its bytes without
    keeping them; each download's throughput in MB/s.
*/
std::vector<double> runDownloads (int port, const std::string& path, int count, juce::int64 expectedLength, std::atomic<int>& errors)
{
    std::vector<double> throughputs;

    for (int i = 0; i < count; ++i)
    {
        httplib::Client client ("127.0.0.1", port);
        client.set_connection_timeout (10);
        client.set_read_timeout (10);
        juce::int64 received = 0;
        const auto begin = Clock::now();
        const auto answer = client.Get (path, [&received] (const char*, size_t length) {
            received += (juce::int64) length;
            return true;
        });
        const auto seconds = std::chrono::duration<double> (Clock::now() - begin).count();

        if (! answer || answer->status != 200 || received != expectedLength)
            ++errors;

        throughputs.push_back ((double) received / (1024.0 * 1024.0) / std::max (seconds, 1e-6));
    }

    return throughputs;
}

/** What normal clients got in one phase of a benchmark. */
struct NormalClientFigures
{
    double catalogMs = 0.0;
    double downloadMBps = 0.0;
};

/** For a while, rounds of concurrent catalog requests, each followed by a whole chapter
    download: long enough for every deadline of the server to pass at least once.
*/
NormalClientFigures measureNormalClients (int port, size_t catalogLength, std::atomic<int>& errors)
{
    constexpr int catalogClients = 50;
    constexpr auto duration = std::chrono::seconds (10);
    std::vector<double> latencies, throughputs;
    const auto end = Clock::now() + duration;

    while (Clock::now() < end)
    {
        const auto round = runCatalogRounds (port, 1, catalogClients, catalogLength, errors);
        latencies.insert (latencies.end(), round.begin(), round.end());
        throughputs.push_back (runDownloads (port, chapterPath, 1, chapterBytes, errors).front());
    }

    NormalClientFigures figures;
    figures.catalogMs = percentile (latencies, 0.5);
    figures.downloadMBps = percentile (throughputs, 0.5);
    return figures;
}

/** The provider's port after checking it serves the catalog; 0 (with the benchmark skipped) otherwise. */
int getServingPort (benchmark::State& state, size_t& catalogLength)
{
    auto& provider = LoadedProvider::get();

    if (! provider.process.isRunning())
    {
        state.SkipWithError ("tsy-provider did not start (build the tsy-provider target)");
        return 0;
    }

    httplib::Client probe ("127.0.0.1", provider.process.getPort());
    const auto expected = probe.Get (catalogPath);

    if (! expected || expected->status != 200)
    {
        state.SkipWithError ("the catalog did not arrive");
        return 0;
    }

    catalogLength = expected->body.size();
    return provider.process.getPort();
}

void BM_ProviderConcurrentCatalog (benchmark::State& state)
{
    size_t expectedLength = 0;
    const auto port = getServingPort (state, expectedLength);

    if (port == 0)
        return;

    const auto clients = (int) state.range (0);
    const SlowClients slowClients (port, (int) state.range (1), { SlowClients::Kind::dribblesHead });
    std::vector<double> latencies;
    std::atomic<int> errors { 0 };

    for (auto _ : state)
        latencies = runCatalogRounds (port, rounds, clients, expectedLength, errors);

    state.counters["requests"] = (double) latencies.size();
    state.counters["errors"] = (double) errors.load();
    state.counters["p50_ms"] = percentile (latencies, 0.50);
    state.counters["p99_ms"] = percentile (latencies, 0.99);
    state.counters["max_ms"] = percentile (latencies, 1.0);
}

void BM_ProviderBesideSlowReaders (benchmark::State& state)
{
    size_t catalogLength = 0;
    const auto port = getServingPort (state, catalogLength);

    if (port == 0)
        return;

    std::atomic<int> errors { 0 };
    NormalClientFigures alone, beside;

    // The chapter's first read comes from the disk; every measured one from the page cache.
    runDownloads (port, chapterPath, 1, chapterBytes, errors);
    int slowConnections = 0;

    for (auto _ : state)
    {
        alone = measureNormalClients (port, catalogLength, errors);

        using Kind = SlowClients::Kind;
        SlowClients slowClients (port, (int) state.range (0), { Kind::dribblesHead, Kind::saysNothing, Kind::readsSlowly, Kind::readsTooSlowly });

        if (! slowClients.waitUntilInPlace (std::chrono::seconds (30)))
        {
            state.SkipWithError ("the slow clients did not all get a connection");
            return;
        }

        const auto connectionsBefore = slowClients.getConnections();
        beside = measureNormalClients (port, catalogLength, errors);
        slowConnections = slowClients.getConnections() - connectionsBefore;
    }

    state.counters["catalog_ms_alone"] = alone.catalogMs;
    state.counters["catalog_ms_beside"] = beside.catalogMs;
    state.counters["catalog_ratio"] = beside.catalogMs / std::max (alone.catalogMs, 1e-9);
    state.counters["download_MBps_alone"] = alone.downloadMBps;
    state.counters["download_MBps_beside"] = beside.downloadMBps;
    state.counters["download_ratio"] = beside.downloadMBps / std::max (alone.downloadMBps, 1e-9);
    state.counters["errors"] = (double) errors.load();
    state.counters["slow_connections"] = (double) slowConnections;
}
/** An export of the benchmark's library served by nginx, made once per run after the provider. */
struct NginxMirror
{
    NginxMirror()
        : exported (makeExport (LoadedProvider::get())),
          nginx (exported, LoadedProvider::get().folder)
    {
    }

    static NginxMirror& get()
    {
        static NginxMirror mirror;
        return mirror;
    }

    /** The export's folder; a default File when the export failed. */
    static juce::File makeExport (const LoadedProvider& provider)
    {
        const auto folder = provider.folder.getChildFile ("media");
        juce::ChildProcess exporter;

        if (! exporter.start (juce::StringArray { ProviderProcess::getExecutable().getFullPathName(), "--library", provider.library.getFullPathName(),
                                                  "--export-media", folder.getFullPathName() }))
            return {};

        exporter.readAllProcessOutput();
        return exporter.waitForProcessToFinish (120000) && exporter.getExitCode() == 0 ? folder : juce::File();
    }

    const juce::File exported;
    NginxProcess nginx;
};

/** One round of clients downloading the chapter whole at the same moment: all their bytes over
    the round's time, in MB/s.
*/
double runDownloadRound (int port, int clients, std::atomic<int>& errors)
{
    std::vector<std::thread> threads;
    const auto begin = Clock::now();

    for (int c = 0; c < clients; ++c)
        threads.emplace_back ([&] { runDownloads (port, chapterPath, 1, chapterBytes, errors); });

    for (auto& thread : threads)
        thread.join();

    const auto seconds = std::chrono::duration<double> (Clock::now() - begin).count();
    return (double) clients * (double) chapterBytes / (1024.0 * 1024.0) / std::max (seconds, 1e-6);
}

void BM_ChapterDownloadProviderAndNginx (benchmark::State& state)
{
    size_t catalogLength = 0;
    const auto providerPort = getServingPort (state, catalogLength);

    if (providerPort == 0)
        return;

    auto& mirror = NginxMirror::get();

    if (! mirror.nginx.isRunning())
    {
        state.SkipWithError (NginxProcess::getExecutable() == juce::File() ? "nginx is not installed (scripts/install-deps installs nginx-light)"
                                                                           : "the export or nginx did not start");
        return;
    }

    constexpr int downloadRounds = 7;
    const auto clients = (int) state.range (0);
    std::atomic<int> errors { 0 };
    std::vector<double> fromProvider, fromNginx;

    // The first reads come from the disk; every measured one from the page cache.
    runDownloads (providerPort, chapterPath, 1, chapterBytes, errors);
    runDownloads (mirror.nginx.getPort(), chapterPath, 1, chapterBytes, errors);

    for (auto _ : state)
    {
        fromProvider.clear();
        fromNginx.clear();

        for (int round = 0; round < downloadRounds; ++round)
        {
            fromProvider.push_back (runDownloadRound (providerPort, clients, errors));
            fromNginx.push_back (runDownloadRound (mirror.nginx.getPort(), clients, errors));
        }
    }

    const auto provider = percentile (fromProvider, 0.5), nginx = percentile (fromNginx, 0.5);
    state.counters["provider_MBps"] = provider;
    state.counters["nginx_MBps"] = nginx;
    state.counters["nginx_to_provider"] = nginx / std::max (provider, 1e-9);
    state.counters["errors"] = (double) errors.load();
}
} // namespace

// 200 clients at once, 20 rounds; then the same with 16 slow clients holding connections.
BENCHMARK (BM_ProviderConcurrentCatalog)->Args ({ 200, 0 })->Args ({ 200, 16 })->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();

// Normal clients alone and beside 64, then 256 slow clients (more than the threads kept ready).
BENCHMARK (BM_ProviderBesideSlowReaders)->Arg (64)->Arg (256)->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();

// One download at a time, then four at once, from each server in turn.
BENCHMARK (BM_ChapterDownloadProviderAndNginx)->Arg (1)->Arg (4)->Iterations (1)->Unit (benchmark::kMillisecond)->UseRealTime();
