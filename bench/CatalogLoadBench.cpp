#include "bench/BenchCatalog.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "bench/BenchClock.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <ctime>

/*
    The cached 100,000-chapter catalog file read into catalog records, as an offline start reads
    it, against a bare pugixml parse of the same file, both in every iteration.

    Counters: tsy_ms and pugixml_ms (mean wall times per iteration), ratio (tsy / pugixml) and
    cpu_ratio (the same for the thread's processor time, which other work on the machine
    disturbs less). Run with repetitions and compare the medians.
*/
namespace
{
using BenchClock::nowMs;
using BenchClock::threadCpuMs;

/** Lets the allocator merge what was just freed (a large request makes it do so), so that the
    next measurement does not pay for tidying up after the last one.
*/
void settleHeap()
{
    free (malloc ((size_t) 1 << 20));
}

struct Timing
{
    double wallMs = 0.0;
    double cpuMs = 0.0;
};

Timing parseWithPugixml (const std::string& path, benchmark::State& state)
{
    const auto wallStart = nowMs();
    const auto cpuStart = threadCpuMs();

    {
        pugi::xml_document document;

        if (! document.load_file (path.c_str()))
            state.SkipWithError ("pugixml could not parse the catalog");

        benchmark::DoNotOptimize (document.first_child());
    }

    return { nowMs() - wallStart, threadCpuMs() - cpuStart };
}

Timing readIntoRecords (const juce::File& file, benchmark::State& state)
{
    Timing timing;

    {
        // The records outlive the measurement, as they do in the program; freeing them is
        // not part of reading them.
        Catalog catalog;
        const auto wallStart = nowMs();
        const auto cpuStart = threadCpuMs();

        {
            CatalogDocument document;

            if (document.load (file) != CatalogDocument::FileResult::loaded
                || ! CatalogParser::parseCatalog (catalog, document.getRoot(), true)
                || catalog.chaptersById.size() != 100000)
                state.SkipWithError ("the catalog did not load");
        }

        timing = { nowMs() - wallStart, threadCpuMs() - cpuStart };
    }

    settleHeap();
    return timing;
}

void BM_CatalogFileIntoRecordsVsPugixml (benchmark::State& state)
{
    const auto& file = BenchCatalog::getLargeCatalogFile();
    const auto path = file.getFullPathName().toStdString();
    Timing tsy, pugixml;
    auto pugixmlFirst = true;

    for (auto _ : state)
    {
        // Each goes first every other time, so that whatever the one before leaves in the
        // caches and the heap weighs on both alike.
        Timing mine, theirs;

        if (pugixmlFirst)
        {
            theirs = parseWithPugixml (path, state);
            mine = readIntoRecords (file, state);
        }
        else
        {
            mine = readIntoRecords (file, state);
            theirs = parseWithPugixml (path, state);
        }

        pugixmlFirst = ! pugixmlFirst;
        tsy.wallMs += mine.wallMs;
        tsy.cpuMs += mine.cpuMs;
        pugixml.wallMs += theirs.wallMs;
        pugixml.cpuMs += theirs.cpuMs;
        state.SetIterationTime (mine.wallMs / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.SetBytesProcessed ((int64_t) state.iterations() * file.getSize());
    state.counters["tsy_ms"] = tsy.wallMs / iterations;
    state.counters["pugixml_ms"] = pugixml.wallMs / iterations;
    state.counters["ratio"] = tsy.wallMs / pugixml.wallMs;
    state.counters["cpu_ratio"] = tsy.cpuMs / pugixml.cpuMs;
}
} // namespace

BENCHMARK (BM_CatalogFileIntoRecordsVsPugixml)->Unit (benchmark::kMillisecond)->UseManualTime()->MinTime (3.0);
