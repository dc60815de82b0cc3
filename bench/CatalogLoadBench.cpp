#include "bench/BenchCatalog.h"
#include "model/CatalogParser.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace
{
void BM_CatalogLoad (benchmark::State& state)
{
    const auto& file = BenchCatalog::getLargeCatalogFile();

    for (auto _ : state)
    {
        const auto root = juce::XmlDocument::parse (file);
        Catalog catalog;
        const auto ok = root != nullptr && CatalogParser::parseCatalog (catalog, *root, true);

        if (! ok || catalog.chaptersById.size() != 100000)
            state.SkipWithError ("catalog did not load");

        benchmark::DoNotOptimize (catalog.chaptersById.size());
    }

    state.SetBytesProcessed ((int64_t) state.iterations() * file.getSize());
}

void BM_PugixmlParse (benchmark::State& state)
{
    const auto& file = BenchCatalog::getLargeCatalogFile();

    for (auto _ : state)
    {
        pugi::xml_document document;
        const auto result = document.load_file (file.getFullPathName().toRawUTF8());

        if (! result)
            state.SkipWithError ("pugixml could not parse the catalog");

        benchmark::DoNotOptimize (document.first_child());
    }

    state.SetBytesProcessed ((int64_t) state.iterations() * file.getSize());
}
} // namespace

BENCHMARK (BM_CatalogLoad)->Unit (benchmark::kMillisecond)->MinTime (3.0);
BENCHMARK (BM_PugixmlParse)->Unit (benchmark::kMillisecond)->MinTime (3.0);

namespace
{
void BM_JuceXmlParse (benchmark::State& state)
{
    const auto& file = BenchCatalog::getLargeCatalogFile();

    for (auto _ : state)
    {
        const auto root = juce::XmlDocument::parse (file);

        if (root == nullptr)
            state.SkipWithError ("JUCE could not parse the catalog");

        benchmark::DoNotOptimize (root.get());
    }

    state.SetBytesProcessed ((int64_t) state.iterations() * file.getSize());
}
} // namespace

BENCHMARK (BM_JuceXmlParse)->Unit (benchmark::kMillisecond)->MinTime (3.0);
