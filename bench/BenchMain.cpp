#include "bench/BenchCatalog.h"

#include <JuceHeader.h>
#include <benchmark/benchmark.h>
#include <malloc.h>

int main (int argc, char** argv)
{
    // Without an application object JUCE installs its own X error handler, which keeps the
    // video benchmark's window alive under a window-manager-less Xvfb.
    juce::JUCEApplicationBase::createInstance = []() -> juce::JUCEApplicationBase* { return nullptr; };

    // Freed memory stays with the process. On a virtual machine a first touch of a page can cost
    // microseconds, and which allocations touch fresh pages depends on what the allocator chose
    // to hand back to the system earlier, so without this the same work measures differently
    // from one iteration to the next.
    mallopt (M_MMAP_THRESHOLD, 1 << 30);
    mallopt (M_TRIM_THRESHOLD, 1 << 30);

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
