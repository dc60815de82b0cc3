#include "bench/BenchCatalog.h"
#include "server/CatalogServiceClient.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <benchmark/benchmark.h>

namespace
{
/** A running tsy-provider serving a library, for as long as the benchmark binary runs. */
struct RunningProvider
{
    explicit RunningProvider (const juce::File& library)
        : process ({ "--library", library.getFullPathName(), "--access-log", scratch.getChildFile ("access.log").getFullPathName() }, scratch)
    {
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

RunningProvider& largeProvider()
{
    static const auto library = [] {
        auto folder = BenchCatalog::getScratchFolder().getChildFile ("library-10k");
        folder.deleteRecursively();
        TestLibraryWriter::Layout layout;
        layout.coursesPerLanguage = 100;
        layout.lessonsPerCourse = 10;
        layout.chaptersPerLesson = 10;
        layout.videoBytes = 64;
        TestLibraryWriter::write (folder, layout);
        return folder;
    }();

    static RunningProvider provider (library);
    return provider;
}

void roundTrips (benchmark::State& state, RunningProvider& provider, size_t expectedChapters)
{
    if (! provider.process.isRunning())
    {
        state.SkipWithError ("tsy-provider did not start");
        return;
    }

    for (auto _ : state)
    {
        std::unique_ptr<Catalog> catalog;
        const auto result = CatalogServiceClient::retrieveOnlineAnonCatalog (provider.endpoint(), 1, true, nullptr, catalog);

        if (result != Success || catalog->chaptersById.size() != expectedChapters)
            state.SkipWithError ("the catalog did not arrive whole");
    }
}

void BM_CatalogRoundTripSample (benchmark::State& state)
{
    roundTrips (state, sampleProvider(), 20);
}

void BM_CatalogRoundTrip10k (benchmark::State& state)
{
    roundTrips (state, largeProvider(), 10000);
}
} // namespace

BENCHMARK (BM_CatalogRoundTripSample)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (BM_CatalogRoundTrip10k)->Unit (benchmark::kMillisecond)->MinTime (3.0);
