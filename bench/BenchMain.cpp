#include "bench/BenchCatalog.h"

#include <JuceHeader.h>
#include <benchmark/benchmark.h>

int main (int argc, char** argv)
{
    // Core broadcasts through the message manager, so the benchmarks run inside an initialised JUCE.
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BenchCatalog::removeScratchFolder();
    return 0;
}
