#include "bench/BenchCatalog.h"
#include "server/CatalogServiceClient.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "bench/BenchClock.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <ctime>

/*
    A catalog round trip through the catalog service client (request, answer, parse, records,
    cache file) against tsy-provider on loopback, and beside it an in-process libcurl fetch of
    the same URL into memory, with one easy handle kept for the whole run as the program keeps
    its connection. Both run in every iteration, taking turns to go first.

    Counters: tsy_ms and curl_ms (mean wall times per round trip), ratio (tsy / curl) and
    tsy_cpu_ms (the client thread's processor time per round trip). Run with repetitions and
    compare the medians.
*/
namespace
{
using BenchClock::nowMs;
using BenchClock::threadCpuMs;

/** A running tsy-provider serving a library, for as long as the benchmark binary runs. */
struct RunningProvider
{
    explicit RunningProvider (const juce::File& library)
        : process ({ "--library", library.getFullPathName(), "--access-log", scratch.getChildFile ("access.log").getFullPathName() }, scratch)
    {
    }

    ~RunningProvider()
    {
        process.stop();
        scratch.deleteRecursively();
    }

    CatalogServiceClient::Endpoint endpoint() const { return { process.getOrigin() + "/catalog.php", scratch.getChildFile ("cache") }; }

    juce::File scratch = BenchCatalog::getScratchFolder().getChildFile ("provider-" + juce::String (juce::Random::getSystemRandom().nextInt64()));
    ProviderProcess process;
};

RunningProvider& sampleProvider()
{
    static RunningProvider provider (TestLibraryWriter::getSampleLibrary());
    return provider;
}

/** A library of 10,000 chapters written for the run, and a provider serving it. */
struct LargeLibrary
{
    static juce::File write (const juce::File& folder)
    {
        folder.deleteRecursively();
        TestLibraryWriter::Layout layout;
        layout.coursesPerLanguage = 100;
        layout.lessonsPerCourse = 10;
        layout.chaptersPerLesson = 10;
        layout.videoBytes = 64;
        TestLibraryWriter::write (folder, layout);
        return folder;
    }

    ~LargeLibrary()
    {
        provider = nullptr;
        folder.deleteRecursively();
    }

    juce::File folder = write (BenchCatalog::getScratchFolder().getChildFile ("library-10k"));
    std::unique_ptr<RunningProvider> provider = std::make_unique<RunningProvider> (folder);
};

RunningProvider& largeProvider()
{
    static LargeLibrary library;
    return *library.provider;
}

/** libcurl used the plain way: one easy handle, the body appended to a string. */
class CurlFetch final
{
public:
    CurlFetch()
    {
        curl_easy_setopt (easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt (easy, CURLOPT_WRITEFUNCTION, &CurlFetch::append);
        curl_easy_setopt (easy, CURLOPT_WRITEDATA, &body);
    }

    ~CurlFetch() { curl_easy_cleanup (easy); }

    bool fetch (const juce::String& url)
    {
        body.clear();
        curl_easy_setopt (easy, CURLOPT_URL, url.toRawUTF8());
        long status = 0;
        const auto ok = curl_easy_perform (easy) == CURLE_OK;
        curl_easy_getinfo (easy, CURLINFO_RESPONSE_CODE, &status);
        return ok && status == 200 && ! body.empty();
    }

private:
    static size_t append (char* data, size_t size, size_t count, void* user)
    {
        static_cast<std::string*> (user)->append (data, size * count);
        return size * count;
    }

    CURL* easy = curl_easy_init();
    std::string body;

    JUCE_DECLARE_NON_COPYABLE (CurlFetch)
};

/** Keeps the client's log lines (the whole answer among them) out of the report. */
struct SilentLog final : juce::Logger
{
    SilentLog() { juce::Logger::setCurrentLogger (this); }
    ~SilentLog() override { juce::Logger::setCurrentLogger (nullptr); }
    void logMessage (const juce::String&) override {}
};

void roundTrips (benchmark::State& state, RunningProvider& provider, size_t expectedChapters)
{
    if (! provider.process.isRunning())
    {
        state.SkipWithError ("tsy-provider did not start");
        return;
    }

    const SilentLog silentLog;
    const auto endpoint = provider.endpoint();
    const auto url = CatalogServiceClient::buildRequestUrl (endpoint.catalogUrl, {}, {}, 1, true);
    CurlFetch curl;
    double tsyMs = 0.0, curlMs = 0.0, tsyCpuMs = 0.0;
    auto curlFirst = true;

    const auto roundTrip = [&]
    {
        const auto wallStart = nowMs();
        const auto cpuStart = threadCpuMs();
        std::unique_ptr<Catalog> catalog;
        const auto result = CatalogServiceClient::retrieveOnlineAnonCatalog (endpoint, 1, true, nullptr, catalog);
        const auto wall = nowMs() - wallStart;
        tsyCpuMs += threadCpuMs() - cpuStart;
        tsyMs += wall;

        if (result != Success || catalog->chaptersById.size() != expectedChapters)
            state.SkipWithError ("the catalog did not arrive whole");

        return wall;
    };

    const auto plainFetch = [&]
    {
        const auto start = nowMs();

        if (! curl.fetch (url))
            state.SkipWithError ("libcurl could not fetch the catalog");

        curlMs += nowMs() - start;
    };

    for (auto _ : state)
    {
        double wall = 0.0;

        if (curlFirst)
        {
            plainFetch();
            wall = roundTrip();
        }
        else
        {
            wall = roundTrip();
            plainFetch();
        }

        curlFirst = ! curlFirst;
        state.SetIterationTime (wall / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.counters["tsy_ms"] = tsyMs / iterations;
    state.counters["curl_ms"] = curlMs / iterations;
    state.counters["ratio"] = tsyMs / curlMs;
    state.counters["tsy_cpu_ms"] = tsyCpuMs / iterations;
}

void BM_CatalogRoundTripSampleVsCurl (benchmark::State& state)
{
    roundTrips (state, sampleProvider(), 20);
}

void BM_CatalogRoundTrip10kVsCurl (benchmark::State& state)
{
    roundTrips (state, largeProvider(), 10000);
}
} // namespace

BENCHMARK (BM_CatalogRoundTripSampleVsCurl)->Unit (benchmark::kMillisecond)->UseManualTime()->MinTime (2.0);
BENCHMARK (BM_CatalogRoundTrip10kVsCurl)->Unit (benchmark::kMillisecond)->UseManualTime()->MinTime (3.0);
