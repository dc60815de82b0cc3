#include "app/SharedRes.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "playback/CatalogTree.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"

#include <benchmark/benchmark.h>

/*
    The catalog tree over a catalog of 100 courses x 10 lessons x 10 chapters (10,000 chapters),
    every seventh chapter downloaded and every third of those a favourite, in a tree view 291 x 900
    pixels (45 rows) with every course and lesson open, scrolled into the middle.

    BM_TreeRepaint: painting everything the view shows; BM_TreeRepaintFavorites: the same in the
    FAVORITES tab, where most rows have the height 0.
    BM_TreeScroll: one row's scroll step: the view moves, the tree finds its visible rows and paints.
    BM_TreeTabSwitch: a switch between TUTORIALS and FAVORITES: the filter changes, the tree lays
    its rows out again and paints.
*/
namespace
{
struct TreeHost final : CatalogTreeHost
{
    BrowserTab getBrowserTab() const override { return tab; }
    void setBrowserTab (BrowserTab newTab) override { tab = newTab; }
    bool isOnline() const override { return true; }
    void openChapter (int, int, int, bool) override {}
    bool startDownload (int, const juce::String&, const juce::String&) override { return false; }
    void selectDownloadsEntry() override {}
    void showHomePage() override {}
    void showDownloadPanel() override {}
    void showPreferencesPanel() override {}
    void openManual() override {}
    void collapseTree() override {}
    void showCoursePage (int, int) override {}
    juce::String getCurrentChapterId() const override { return {}; }
    juce::String getChapterCaption (int, int, int) const override { return {}; }

    BrowserTab tab = tutorialsTab;
};

struct LargeTree
{
    LargeTree()
    {
        juce::MemoryOutputStream text;
        text << "<catalog userid='u1' baseurl='http://127.0.0.1:1/'>";

        for (int c = 0; c < 100; ++c)
        {
            text << "<course id='c" << c << "' title='Course " << c << ": Modelling, Texturing and Lighting'>";

            for (int l = 0; l < 10; ++l)
            {
                text << "<lesson order='" << (l + 1) << "' title='Working with edge loops " << l << "'>";

                for (int k = 0; k < 10; ++k)
                    text << "<chapter id='c" << c << "-" << l << "-" << k << "' order='" << (k + 1)
                         << "' date='2024-05-10' title='Extruding and bevelling the main body'/>";

                text << "</lesson>";
            }

            text << "</course>";
        }

        text << "</catalog>";

        auto catalog = std::make_unique<Catalog>();
        CatalogParser::parseCatalog (*catalog, *juce::parseXML (text.toString()), true);
        const auto users = home.getFolder().getChildFile ("users");
        int index = 0;

        for (const auto& [chapterId, chapter] : catalog->chaptersById)
        {
            if (index++ % 7 != 0)
                continue;

            const auto folder = users.getChildFile ("u1").getChildFile (chapterId);
            folder.createDirectory();
            LocalStorage::getVideoFile (folder, chapterId).replaceWithText ("video");

            MovieLocalInfo info;
            info.timestamp = chapter->date;
            info.favorite = index % 3 == 0;
            LocalStorage::saveState (info, LocalStorage::getStateFile (folder, chapterId));
        }

        core.setUsersDirectory (users, juce::dontSendNotification);
        core.setCatalog (std::move (catalog));

        view.setBounds (0, 0, 291, 900);
        tree.rebuild();

        for (int c = 0; c < core.getNumCourses(); ++c)
        {
            auto* course = tree.getRow (tree.getFirstCourseRow() + c);
            course->setOpen (true);

            for (int l = 0; l < course->getNumSubItems(); ++l)
                course->getSubItem (l)->setOpen (true);
        }

        MessagePump::deliverPending();
        view.getViewport()->setViewPosition (0, view.getViewport()->getViewedComponent()->getHeight() / 2);
        MessagePump::deliverPending();
    }

    ~LargeTree()
    {
        view.setRootItem (nullptr);
        SharedRes::deleteInstance();
    }

    void paint()
    {
        juce::Graphics g (image);
        view.paintEntireComponent (g, true);
    }

    ScratchHome home;
    Core core { home.getUserDataFolder() };
    TreeHost host;
    juce::TreeView view;
    CatalogTree tree { view, core, host };
    juce::Image image { juce::Image::ARGB, 291, 900, true };
};

void BM_TreeRepaint (benchmark::State& state)
{
    LargeTree large;

    for (auto _ : state)
        large.paint();
}

void BM_TreeRepaintFavorites (benchmark::State& state)
{
    LargeTree large;
    large.host.tab = favoritesTab;
    large.tree.filterChanged();
    MessagePump::deliverPending();

    for (auto _ : state)
        large.paint();
}

void BM_TreeScroll (benchmark::State& state)
{
    LargeTree large;
    auto* viewport = large.view.getViewport();
    const auto middle = viewport->getViewPositionY();
    int step = 0;

    for (auto _ : state)
    {
        viewport->setViewPosition (0, middle + 20 * (step++ % 50));
        MessagePump::deliverPending();
        large.paint();
    }
}

void BM_TreeTabSwitch (benchmark::State& state)
{
    LargeTree large;

    for (auto _ : state)
    {
        large.host.tab = large.host.tab == tutorialsTab ? favoritesTab : tutorialsTab;
        large.tree.filterChanged();
        MessagePump::deliverPending();
        large.paint();
    }
}
} // namespace

BENCHMARK (BM_TreeRepaint)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (BM_TreeRepaintFavorites)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (BM_TreeScroll)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (BM_TreeTabSwitch)->Unit (benchmark::kMillisecond)->MinTime (2.0);
