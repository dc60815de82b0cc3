#include "bench/BenchCatalog.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace
{
void loadLargeCatalog (Catalog& catalog)
{
    CatalogDocument document;
    document.load (BenchCatalog::getLargeCatalogFile());
    CatalogParser::parseCatalog (catalog, document.getRoot(), true);
}

/** A users folder holding state files for every tenth chapter of the large catalog, reachable
    under two different paths (the folder and a link to it), so switching between them makes Core
    rebuild the local state of all 100,000 chapters, 10,000 of them from disk.
*/
struct StateFolders
{
    StateFolders()
    {
        folder.deleteRecursively();
        loadLargeCatalog (catalog);

        const auto userFolder = folder.getChildFile ("users").getChildFile (catalog.userid);
        int index = 0;

        for (const auto& [chapterId, chapter] : catalog.chaptersById)
        {
            if (index++ % 10 != 0)
                continue;

            MovieLocalInfo info;
            info.timestamp = chapter->date;
            info.favorite = (index % 3) == 0;
            info.addMarker ("Where the bevel starts", 83.52);
            LocalStorage::saveState (info, LocalStorage::getStateFile (userFolder.getChildFile (chapterId), chapterId));
        }

        folder.getChildFile ("users").createSymbolicLink (folder.getChildFile ("users-link"), true);
    }

    ~StateFolders() { folder.deleteRecursively(); }

    juce::File folder = BenchCatalog::getScratchFolder().getChildFile ("core");
    Catalog catalog;
};

void BM_RebuildLocalState (benchmark::State& state)
{
    static StateFolders folders;
    Core core (folders.folder.getChildFile ("data"));
    auto catalog = std::make_unique<Catalog>();
    loadLargeCatalog (*catalog);
    core.setCatalog (std::move (catalog));

    const juce::File paths[] = { folders.folder.getChildFile ("users"), folders.folder.getChildFile ("users-link") };
    int next = 0;

    for (auto _ : state)
        core.setUsersDirectory (paths[next++ & 1], juce::dontSendNotification);

    if (core.getNumMarkers (folders.catalog.chaptersById.begin()->first) != 1)
        state.SkipWithError ("state files were not read");
}
} // namespace

BENCHMARK (BM_RebuildLocalState)->Unit (benchmark::kMillisecond)->MinTime (3.0);
