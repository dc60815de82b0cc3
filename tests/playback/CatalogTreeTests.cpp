#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "playback/CatalogTree.h"
#include "playback/ChapterItem.h"
#include "playback/ChapterStatus.h"
#include "playback/CourseItem.h"
#include "playback/TabbedTitleItem.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace
{
/** The main window as the tree sees it, recording what the tree asked for. */
struct FakeHost final : CatalogTreeHost
{
    explicit FakeHost (Core& c) : core (c) {}

    BrowserTab getBrowserTab() const override { return tab; }
    void setBrowserTab (BrowserTab newTab) override { tab = newTab; }
    bool isOnline() const override { return online; }

    void openChapter (int course, int lesson, int chapter, bool autoplay) override
    {
        opened.add (core.getChapterId (course, lesson, chapter) + (autoplay ? " playing" : ""));
        openedOnMessageThread = openedOnMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
    }

    bool startDownload (int course, const juce::String& chapterId, const juce::String& title) override
    {
        if (refuseAfter >= 0 && queued.size() >= refuseAfter)
            return false;

        juce::ignoreUnused (course);
        queued.add (chapterId);
        titles.add (title);
        return true;
    }

    void selectDownloadsEntry() override { ++downloadsSelections; }
    void showHomePage() override {}
    void showDownloadPanel() override {}
    void showPreferencesPanel() override {}
    void openManual() override {}
    void collapseTree() override {}
    void showCoursePage (int, int) override {}
    juce::String getCurrentChapterId() const override { return currentChapterId; }

    juce::String getChapterCaption (int course, int lesson, int chapter) const override
    {
        return "caption " + juce::String (course) + "." + juce::String (lesson) + "." + juce::String (chapter);
    }

    Core& core;
    BrowserTab tab = tutorialsTab;
    bool online = true;
    int refuseAfter = -1;
    juce::String currentChapterId;
    juce::StringArray opened, queued, titles;
    bool openedOnMessageThread = true;
    int downloadsSelections = 0;
};

/** Two courses: the first with lessons of order 3 and 1 and chapters of orders 1, 2 and 7. */
const char* const catalogText = R"(<catalog userid="u1" username="Ada" baseurl="http://127.0.0.1:1/">
  <course id="c1" title="Modelling">
    <lesson title="Basics" order="3">
      <chapter id="a" order="1" title="Intro" date="2024-05-10"/>
      <chapter id="b" order="2" title="Views" date="2024-05-10"/>
    </lesson>
    <lesson title="Meshes" order="1">
      <chapter id="c" order="7" title="Loops" date="2024-05-10"/>
    </lesson>
  </course>
  <course id="c2" title="Lighting">
    <lesson title="Lamps" order="1">
      <chapter id="d" order="1" title="Sun" date="2024-05-10"/>
    </lesson>
  </course>
</catalog>)";

class CatalogTreeTest : public ::testing::Test
{
protected:
    CatalogTreeTest()
    {
        core->setUsersDirectory (users, false);
        install (catalogText);
    }

    ~CatalogTreeTest() override
    {
        tree = nullptr;
        core = nullptr;
    }

    void install (const juce::String& text, bool user = true)
    {
        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *juce::parseXML (text), user));
        ASSERT_TRUE (core->setCatalog (std::move (catalog)));
        tree->rebuild();
    }

    /** Puts a chapter's video on disk with the given state, as a finished download leaves it,
        and reloads the local state.
    */
    void download (const juce::String& chapterId, juce::RelativeTime age = juce::RelativeTime(), bool favorite = false, int markers = 0)
    {
        const auto folder = users.getChildFile ("u1").getChildFile (chapterId);
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (LocalStorage::getVideoFile (folder, chapterId).replaceWithText ("video"));

        MovieLocalInfo info;
        info.setTimestamp (core->getChapterDate (chapterId) - age);
        info.setFavorite (favorite);

        for (int i = 0; i < markers; ++i)
            info.addMarker ("Marker " + juce::String (i + 1), 10.0 * (i + 1));

        ASSERT_TRUE (LocalStorage::saveState (info, LocalStorage::getStateFile (folder, chapterId)));
        install (catalogText);
    }

    juce::TreeViewItem* row (int index) const { return tree->getRow (index); }
    juce::TreeViewItem* courseRow (int course) const { return row (tree->getFirstCourseRow() + course); }
    ChapterItem* chapterRow (int course, int lesson, int chapter) const
    {
        return dynamic_cast<ChapterItem*> (courseRow (course)->getSubItem (lesson)->getSubItem (chapter));
    }

    ScratchHome home;
    ScriptedPrompts prompts;
    juce::File users = home.getFolder().getChildFile ("movies/users");
    std::unique_ptr<Core> core = std::make_unique<Core> (home.getUserDataFolder());
    FakeHost host { *core };
    juce::TreeView view;
    std::unique_ptr<CatalogTree> tree = std::make_unique<CatalogTree> (view, *core, host);
};
} // namespace

TEST_F (CatalogTreeTest, FixedRowsThenCoursesWithCatalogOrdersInTheLabels)
{
    install ("<catalog userid='u1'/>");
    ASSERT_EQ (tree->getNumRows(), 8) << "a catalog without courses leaves the fixed rows";
    EXPECT_EQ (row (0)->getUniqueName(), "4BROWSER");
    EXPECT_EQ (row (tree->getHomeRow())->getUniqueName(), "1Home");
    EXPECT_EQ (row (tree->getDownloadsRow())->getUniqueName(), "3Downloads");
    EXPECT_EQ (row (tree->getPreferencesRow())->getUniqueName(), "5Preferences");
    EXPECT_EQ (row (5)->getUniqueName(), "0");
    EXPECT_EQ (row (6)->getUniqueName(), "tabbedTitle");
    EXPECT_EQ (row (7)->getUniqueName(), "2Collapse");
    EXPECT_EQ (tree->getFirstCourseRow(), 8);
    EXPECT_FALSE (row (0)->canBeSelected());
    EXPECT_TRUE (row (tree->getDownloadsRow())->canBeSelected());

    install (catalogText);
    ASSERT_EQ (tree->getNumRows(), 10);
    EXPECT_EQ (courseRow (1)->getUniqueName(), "c1");
    EXPECT_EQ (courseRow (0)->getSubItem (1)->getUniqueName(), "l1");
    EXPECT_EQ (chapterRow (0, 0, 0)->getLabel(), "3.1 - Intro") << "the lesson's order, not its index";
    EXPECT_EQ (chapterRow (0, 1, 0)->getLabel(), "1.7 - Loops");
    EXPECT_EQ (chapterRow (0, 1, 0)->getUniqueName(), "c");
}

TEST_F (CatalogTreeTest, FavoritesHideRowsWithoutFavouritesEvenWhenOpen)
{
    download ("b", juce::RelativeTime(), true);
    courseRow (1)->setOpen (true);
    host.tab = favoritesTab;
    tree->filterChanged();

    EXPECT_EQ (courseRow (1)->getItemHeight(), 0) << "no favourite in Lighting";
    EXPECT_FALSE (courseRow (1)->canBeSelected());
    EXPECT_EQ (courseRow (0)->getItemHeight(), 20);
    EXPECT_EQ (courseRow (0)->getSubItem (1)->getItemHeight(), 0) << "the Meshes lesson has none";
    EXPECT_EQ (chapterRow (0, 0, 0)->getItemHeight(), 0);
    EXPECT_EQ (chapterRow (0, 0, 1)->getItemHeight(), 20);
    EXPECT_EQ (row (6)->getItemHeight(), 34) << "the tab strip stays";
    EXPECT_EQ (row (tree->getHomeRow())->getItemHeight(), 20);

    // MY TUTORIALS shows everything of a signed-in user, nothing of an anonymous catalog.
    host.tab = myTutorialsTab;
    EXPECT_EQ (courseRow (1)->getItemHeight(), 20);
    install (catalogText, false);
    EXPECT_EQ (courseRow (1)->getItemHeight(), 0);
}

TEST_F (CatalogTreeTest, ARebuildKeepsWhatWasOpenAndSelected)
{
    courseRow (0)->setOpen (true);
    courseRow (0)->getSubItem (1)->setOpen (true);
    tree->selectChapter (0, 1, 0);
    ASSERT_TRUE (chapterRow (0, 1, 0)->isSelected());
    EXPECT_TRUE (host.opened.isEmpty()) << "selecting for the window does not reopen the chapter";

    install (catalogText);
    EXPECT_TRUE (courseRow (0)->isOpen());
    EXPECT_FALSE (courseRow (1)->isOpen());
    EXPECT_TRUE (chapterRow (0, 1, 0)->isSelected());

    tree->collapse();
    EXPECT_FALSE (courseRow (0)->isOpen());
}

TEST_F (CatalogTreeTest, ChapterStateReadFromCore)
{
    download ("a", juce::RelativeTime::days (2));
    download ("b");

    auto outdated = ChapterStatus::read (*core, "a");
    EXPECT_TRUE (outdated.downloaded);
    EXPECT_TRUE (outdated.updateAvailable) << "the catalog's date is later than the stored timestamp";
    EXPECT_EQ (ChapterStatus::getChapterIcon (outdated, true, tutorialsTab), ChapterStatus::updateIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (outdated, true), "Click the icon to update this chapter");
    EXPECT_EQ (ChapterStatus::getChapterIcon (outdated, false, tutorialsTab), ChapterStatus::playIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (outdated, false), "Connect and click the icon to update this chapter");

    const auto current = ChapterStatus::read (*core, "b");
    EXPECT_FALSE (current.updateAvailable);
    EXPECT_EQ (chapterRow (0, 0, 1)->getStatusIcon(), ChapterStatus::playIcon);
    EXPECT_TRUE (chapterRow (0, 0, 1)->getTooltip().isEmpty());
    EXPECT_EQ (chapterRow (0, 0, 1)->getTextColour(), juce::Colour (0xff000000));
    EXPECT_EQ (chapterRow (0, 1, 0)->getTextColour(), juce::Colour (0xff4c4c4c)) << "missing chapters are grey";
    EXPECT_EQ (chapterRow (0, 1, 0)->getStatusIcon(), ChapterStatus::downloadIcon);

    // A group shows the download icon while any chapter is missing, and never in FAVORITES.
    auto* modelling = dynamic_cast<CourseItem*> (courseRow (0));
    EXPECT_EQ (modelling->getStatusIcon(), ChapterStatus::downloadIcon);
    host.tab = favoritesTab;
    EXPECT_EQ (modelling->getStatusIcon(), ChapterStatus::noIcon);
    EXPECT_EQ (chapterRow (0, 0, 0)->getStatusIcon(), ChapterStatus::noIcon);
}

TEST (ChapterStatusRules, IconsAndTooltipsOfEveryState)
{
    ChapterStatus::State missing;
    EXPECT_EQ (ChapterStatus::getChapterIcon (missing, true, tutorialsTab), ChapterStatus::downloadIcon);
    EXPECT_EQ (ChapterStatus::getChapterIcon (missing, false, tutorialsTab), ChapterStatus::noIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (missing, false), "Connect and click the icon to download this chapter");

    for (const auto state : { DownloadState::Queued, DownloadState::Downloading })
    {
        auto fetched = missing;
        fetched.queued = state;
        EXPECT_EQ (ChapterStatus::getChapterIcon (fetched, false, tutorialsTab), ChapterStatus::queuedIcon);
        EXPECT_EQ (ChapterStatus::getChapterIcon (fetched, true, favoritesTab), ChapterStatus::noIcon);
        EXPECT_EQ (ChapterStatus::getTooltip (fetched, true), "This chapter is being downloaded");
    }

    // A failed entry is not being fetched any more: the chapter can be asked for again.
    auto failed = missing;
    failed.queued = DownloadState::Failed;
    EXPECT_EQ (ChapterStatus::getChapterIcon (failed, true, tutorialsTab), ChapterStatus::downloadIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (failed, true), "Click the icon to download this chapter");

    // An update in any queue state shows orange.
    ChapterStatus::State update;
    update.downloaded = update.updateAvailable = true;
    update.queued = DownloadState::Completed;
    EXPECT_EQ (ChapterStatus::getChapterIcon (update, true, tutorialsTab), ChapterStatus::queuedIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (update, false), "This chapter is being downloaded");
    EXPECT_EQ (ChapterStatus::getIconAction (update, true), ChapterStatus::IconAction::queue);
    EXPECT_EQ (ChapterStatus::getIconAction (update, false), ChapterStatus::IconAction::play);
    EXPECT_EQ (ChapterStatus::getIconAction (missing, false), ChapterStatus::IconAction::nothing);
}

TEST (ChapterStatusRules, TheIconIsHitWithinSevenPixelsOfTheMiddle)
{
    EXPECT_TRUE (ChapterStatus::isIconClick ({ 14, 3 }, 20));
    EXPECT_FALSE (ChapterStatus::isIconClick ({ 14, 2 }, 20));
    EXPECT_TRUE (ChapterStatus::isIconClick ({ 0, 17 }, 20));
    EXPECT_FALSE (ChapterStatus::isIconClick ({ 14, 18 }, 20));
    EXPECT_FALSE (ChapterStatus::isIconClick ({ 15, 10 }, 20));
    EXPECT_TRUE (ChapterStatus::isIconClick ({ 3, 4 }, 21)) << "the middle of 21 is 10";
}

TEST (ChapterStatusRules, MenusListOnlyWhatTheStateAllows)
{
    using Entry = ChapterStatus::MenuEntry;
    ChapterStatus::State missing;
    EXPECT_EQ (ChapterStatus::getChapterMenu (missing, true, false), (std::vector<Entry> { { 1, "Download", false } }))
        << "offline, the only entry is a disabled Download";

    ChapterStatus::State downloaded;
    downloaded.downloaded = downloaded.unseen = downloaded.favorite = true;
    EXPECT_EQ (ChapterStatus::getChapterMenu (downloaded, true, true),
               (std::vector<Entry> { { 2, "Mark as seen", true }, { 3, "Remove favorite mark", true }, { 4, "Remove from this computer", true } }));

    downloaded.updateAvailable = true;
    EXPECT_EQ (ChapterStatus::getChapterMenu (downloaded, false, true).front(), (Entry { 1, "Download", false })) << "anonymous";

    EXPECT_EQ (ChapterStatus::getGroupMenu (false, false, true), (std::vector<Entry> { { 1, "Download available chapters", false } }));
    EXPECT_EQ (ChapterStatus::getGroupMenu (true, true, true).size(), 2u);
}

TEST_F (CatalogTreeTest, TabsAreHitWhereTheyWerePainted)
{
    auto* tabs = dynamic_cast<TabbedTitleItem*> (row (6));
    ASSERT_NE (tabs, nullptr);
    EXPECT_FALSE (tabs->getTabAt ({ 10, 10 }).has_value()) << "nothing before the first paint";

    view.setBounds (0, 0, 300, 400);
    juce::Image image (juce::Image::ARGB, 300, 34, true);
    juce::Graphics g (image);
    tabs->paintItem (g, 300, 34);

    EXPECT_EQ (tabs->getTabAt ({ 10, 10 }), tutorialsTab);
    EXPECT_EQ (tabs->getTabAt ({ 100, 10 }), myTutorialsTab);
    EXPECT_EQ (tabs->getTabAt ({ 200, 10 }), favoritesTab);
    EXPECT_FALSE (tabs->getTabAt ({ 100, 25 }).has_value()) << "below the tabs";
    EXPECT_FALSE (tabs->getTabAt ({ 260, 10 }).has_value()) << "right of FAVORITES";
}

TEST_F (CatalogTreeTest, TheIconQueuesAMissingChapterAndPlaysADownloadedOne)
{
    download ("b");
    chapterRow (0, 0, 0)->iconClicked();
    EXPECT_EQ (host.queued, juce::StringArray ({ "a" }));
    EXPECT_EQ (host.titles, juce::StringArray ({ "caption 0.0.0" }));
    EXPECT_EQ (host.downloadsSelections, 1) << "a queued chapter selects Downloads";

    chapterRow (0, 0, 1)->iconClicked();
    EXPECT_EQ (host.opened, juce::StringArray ({ "b playing" }));

    host.online = false;
    chapterRow (0, 1, 0)->iconClicked();
    EXPECT_EQ (host.queued.size(), 1) << "offline a missing chapter's icon does nothing";
}

TEST_F (CatalogTreeTest, BulkDownloadAsksAndStopsAtTheFirstRefusal)
{
    download ("a");
    auto* modelling = dynamic_cast<CourseItem*> (courseRow (0));

    prompts.answerNext (false);
    modelling->iconClicked();
    EXPECT_TRUE (host.queued.isEmpty()) << "\"No\" queues nothing";
    EXPECT_EQ (prompts.shown.back().text, "Do you want to download all the available missing chapters for this tutorial?\n");

    host.refuseAfter = 1;
    prompts.answerNext (true);
    modelling->iconClicked();
    EXPECT_EQ (host.queued, juce::StringArray ({ "b" })) << "the downloaded chapter is skipped, and the walk ends at the refusal";

    host.online = false;
    modelling->iconClicked();
    EXPECT_EQ (prompts.shown.size(), 2u) << "offline nothing is asked";
}

TEST_F (CatalogTreeTest, RemovingAFavouriteDropsItsStarAndMarkersAndReopensTheOpenChapter)
{
    download ("a", juce::RelativeTime(), true, 2);
    ASSERT_TRUE (core->isFavorite ("a"));
    host.currentChapterId = "a";

    prompts.pickFromNextMenu (ChapterStatus::removeEntry);
    prompts.answerNext (true);
    CatalogTreeActions::showChapterMenu (*core, host, { 0, 0, 0, "a" });

    ASSERT_EQ (prompts.menus.size(), 1u);
    EXPECT_EQ (prompts.menus[0].size(), 3u) << "seen, favourite, remove";
    EXPECT_EQ (prompts.shown.back().text, "Do you want to remove this chapter from this computer?");
    EXPECT_FALSE (core->isVideoPresent ("a"));
    EXPECT_FALSE (core->isFavorite ("a"));
    EXPECT_EQ (core->getNumMarkers ("a"), 0);
    EXPECT_FALSE (users.getChildFile ("u1/a").exists());
    EXPECT_EQ (host.opened, juce::StringArray ({ "a" })) << "the open chapter is shown again, without playing";
    EXPECT_FALSE (chapterRow (0, 0, 0)->isFavorite());
}

TEST_F (CatalogTreeTest, BulkRemovalRunsOnAWorkerAndHandsTheReopenToTheMessageThread)
{
    download ("a");
    download ("b");
    download ("c");
    host.currentChapterId = "b";

    // The real progress window runs the loop on a worker thread while the message thread waits
    // in a modal loop.
    prompts.runTasksOnWorkerThread = true;
    prompts.answerNext (true);
    CatalogTreeActions::removeDownloadedChapters (*core, host, 0, -1);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ({ "Removing whole course" }));
    EXPECT_FALSE (core->isVideoPresent ("a"));
    EXPECT_FALSE (core->isVideoPresent ("c"));
    EXPECT_EQ (host.opened, juce::StringArray ({ "b" }));
    EXPECT_TRUE (host.openedOnMessageThread);
}

TEST_F (CatalogTreeTest, CancellingABulkRemovalKeepsTheRest)
{
    download ("a");
    download ("b");
    download ("c");
    prompts.answerNext (true);
    prompts.cancelAtProgress = 0.5;
    CatalogTreeActions::removeDownloadedChapters (*core, host, 0, -1);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ({ "Removing whole course" }));
    EXPECT_FALSE (core->isVideoPresent ("a"));
    EXPECT_FALSE (core->isVideoPresent ("b"));
    EXPECT_TRUE (core->isVideoPresent ("c")) << "cancelled before the third chapter";
}
