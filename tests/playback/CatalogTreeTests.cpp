#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "playback/CatalogTree.h"
#include "playback/ChapterItem.h"
#include "playback/ChapterStatus.h"
#include "playback/CourseItem.h"
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

    bool startDownload (int, const juce::String& chapterId, const juce::String& title) override
    {
        if (refuseAfter >= 0 && queued.size() >= refuseAfter)
            return false;

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
        core->setUsersDirectory (users, juce::dontSendNotification);
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
    // Rows below a closed row are made when first looked for, as the tree makes them on opening.
    juce::TreeViewItem* courseRow (int course) const { return made (row (tree->getFirstCourseRow() + course)); }
    ChapterItem* chapterRow (int course, int lesson, int chapter) const
    {
        return dynamic_cast<ChapterItem*> (made (courseRow (course)->getSubItem (lesson))->getSubItem (chapter));
    }

    static juce::TreeViewItem* made (juce::TreeViewItem* item)
    {
        dynamic_cast<BaseItem&> (*item).ensureSubItems();
        return item;
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

TEST_F (CatalogTreeTest, CoursesFollowTheFixedRowsWithTheCatalogsOrdersInTheLabels)
{
    ASSERT_EQ (tree->getNumRows(), tree->getFirstCourseRow() + 2);
    EXPECT_EQ (chapterRow (0, 0, 0)->getLabel(), "3.1 - Intro") << "the lesson's order, not its index";
    EXPECT_EQ (chapterRow (0, 1, 0)->getLabel(), "1.7 - Loops");

    install ("<catalog userid='u1'/>");
    EXPECT_EQ (tree->getNumRows(), tree->getFirstCourseRow()) << "a catalog without courses leaves the fixed rows";
}

TEST_F (CatalogTreeTest, FavoritesHideRowsWithoutFavouritesEvenWhenOpen)
{
    download ("b", juce::RelativeTime(), true);
    courseRow (1)->setOpen (true);
    host.tab = favoritesTab;
    tree->filterChanged();

    EXPECT_EQ (courseRow (1)->getItemHeight(), 0) << "no favourite in Lighting";
    EXPECT_FALSE (courseRow (1)->canBeSelected());
    EXPECT_GT (courseRow (0)->getItemHeight(), 0);
    EXPECT_EQ (courseRow (0)->getSubItem (1)->getItemHeight(), 0) << "the Meshes lesson has none";
    EXPECT_EQ (chapterRow (0, 0, 0)->getItemHeight(), 0);
    EXPECT_GT (chapterRow (0, 0, 1)->getItemHeight(), 0);
    EXPECT_GT (row (tree->getHomeRow())->getItemHeight(), 0) << "the fixed rows stay";

    // MY TUTORIALS shows everything of a signed-in user, nothing of an anonymous catalog.
    host.tab = myTutorialsTab;
    EXPECT_GT (courseRow (1)->getItemHeight(), 0);
    install (catalogText, false);
    EXPECT_EQ (courseRow (1)->getItemHeight(), 0);
}

TEST_F (CatalogTreeTest, ARebuildKeepsWhatWasOpenAndSelected)
{
    courseRow (0)->setOpen (true);
    courseRow (0)->getSubItem (1)->setOpen (true);
    tree->selectChapter (0, 1, 0);
    EXPECT_TRUE (host.opened.isEmpty()) << "selecting for the window does not reopen the chapter";

    install (catalogText);
    EXPECT_TRUE (courseRow (0)->isOpen());
    EXPECT_FALSE (courseRow (1)->isOpen());
    EXPECT_TRUE (chapterRow (0, 1, 0)->isSelected());

    tree->collapse();
    EXPECT_FALSE (courseRow (0)->isOpen());
}

TEST_F (CatalogTreeTest, RowsBelowAClosedRowAreMadeOnOpeningAndASelectionInsideOneSurvivesARebuild)
{
    auto* course = row (tree->getFirstCourseRow());
    EXPECT_EQ (course->getNumSubItems(), 0) << "a closed course has no lesson rows yet";
    course->setOpen (true);
    ASSERT_EQ (course->getNumSubItems(), core->getNumLessons (0));
    EXPECT_EQ (course->getSubItem (1)->getNumSubItems(), 0);
    course->getSubItem (1)->setOpen (true);
    ASSERT_EQ (course->getSubItem (1)->getNumSubItems(), core->getNumChapters (0, 1));
    course->setOpen (false);
    course->setOpen (true);
    EXPECT_EQ (course->getNumSubItems(), core->getNumLessons (0)) << "opening again adds nothing";

    // The user selects a chapter, then closes its lesson: a refresh keeps the selection, which
    // needs the rows of a lesson that the new tree has not opened.
    tree->selectChapter (0, 1, 0);
    course->getSubItem (1)->setOpen (false);
    install (catalogText);
    course = row (tree->getFirstCourseRow());
    EXPECT_TRUE (course->isOpen());
    EXPECT_FALSE (course->getSubItem (1)->isOpen());
    EXPECT_TRUE (course->getSubItem (1)->getSubItem (0)->isSelected());
    EXPECT_EQ (view.getNumSelectedItems(), 1);
    EXPECT_EQ (tree->findRow ("/root/c0/l9/nothing"), nullptr);
}

TEST_F (CatalogTreeTest, ARefreshNeverOpensTheSelectedChapterAgain)
{
    courseRow (0)->setOpen (true);
    courseRow (0)->getSubItem (0)->setOpen (true);
    chapterRow (0, 0, 1)->setSelected (true, true);
    ASSERT_EQ (host.opened, juce::StringArray ({ "b" })) << "the user's click opens the chapter";

    // A refresh with the same catalog: the row is selected again, and the chapter left alone
    // (opening it again would rewind a paused chapter to its start).
    install (catalogText);
    EXPECT_TRUE (chapterRow (0, 0, 1)->isSelected());
    EXPECT_EQ (host.opened, juce::StringArray ({ "b" }));

    // A refresh in which the chapter is gone selects nothing and opens nothing else.
    install (juce::String (catalogText).replace ("<chapter id=\"b\" order=\"2\" title=\"Views\" date=\"2024-05-10\"/>", ""));
    EXPECT_EQ (core->getNumChapters (0, 0), 1);
    EXPECT_EQ (view.getNumSelectedItems(), 0);
    EXPECT_EQ (host.opened, juce::StringArray ({ "b" }));
}

TEST_F (CatalogTreeTest, AnOlderStoredTimestampOffersAnUpdate)
{
    download ("a", juce::RelativeTime::days (2));
    download ("b");

    const auto outdated = ChapterStatus::read (*core, "a");
    EXPECT_TRUE (outdated.updateAvailable);
    EXPECT_EQ (ChapterStatus::getChapterIcon (outdated, true, tutorialsTab), ChapterStatus::updateIcon);
    EXPECT_EQ (ChapterStatus::getChapterIcon (outdated, false, tutorialsTab), ChapterStatus::playIcon);
    EXPECT_EQ (ChapterStatus::getTooltip (outdated, false), "Connect and click the icon to update this chapter");
    EXPECT_FALSE (ChapterStatus::read (*core, "b").updateAvailable);
    EXPECT_EQ (chapterRow (0, 1, 0)->getStatusIcon(), ChapterStatus::downloadIcon);

    // A group shows the download icon while any chapter is missing, and never in FAVORITES.
    auto* modelling = dynamic_cast<CourseItem*> (courseRow (0));
    EXPECT_EQ (modelling->getStatusIcon(), ChapterStatus::downloadIcon);
    host.tab = favoritesTab;
    EXPECT_EQ (modelling->getStatusIcon(), ChapterStatus::noIcon);
}

TEST (ChapterStatusRules, IconsTooltipsAndActionsOfEveryState)
{
    ChapterStatus::State missing, fetching, failed, update;
    fetching.queued = DownloadState::Downloading;
    failed.queued = DownloadState::Failed;
    update.downloaded = update.updateAvailable = true;
    update.queued = DownloadState::Completed;

    struct Case
    {
        const char* name;
        ChapterStatus::State state;
        bool online;
        int icon;
        const char* tooltip;
    };

    // A failed entry is not being fetched any more; an update in any queue state shows orange.
    for (const auto& c : { Case { "missing offline", missing, false, ChapterStatus::noIcon, "Connect and click the icon to download this chapter" },
                           Case { "fetching", fetching, false, ChapterStatus::queuedIcon, "This chapter is being downloaded" },
                           Case { "failed", failed, true, ChapterStatus::downloadIcon, "Click the icon to download this chapter" },
                           Case { "update", update, true, ChapterStatus::queuedIcon, "This chapter is being downloaded" } })
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (ChapterStatus::getChapterIcon (c.state, c.online, tutorialsTab), c.icon);
        EXPECT_EQ (ChapterStatus::getChapterIcon (c.state, true, favoritesTab), ChapterStatus::noIcon);
        EXPECT_EQ (ChapterStatus::getTooltip (c.state, c.online), c.tooltip);
    }

    EXPECT_EQ (ChapterStatus::getIconAction (update, true), ChapterStatus::IconAction::queue);
    EXPECT_EQ (ChapterStatus::getIconAction (update, false), ChapterStatus::IconAction::play);
    EXPECT_EQ (ChapterStatus::getIconAction (missing, false), ChapterStatus::IconAction::nothing);
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
    host.currentChapterId = "a";

    prompts.pickFromNextMenu (ChapterStatus::removeEntry);
    prompts.answerNext (true);
    CatalogTreeActions::showChapterMenu (*core, host, { 0, 0, 0, "a" });

    EXPECT_EQ (prompts.shown.back().text, "Do you want to remove this chapter from this computer?");
    EXPECT_FALSE (core->isVideoPresent ("a"));
    EXPECT_FALSE (core->isFavorite ("a"));
    EXPECT_EQ (core->getNumMarkers ("a"), 0);
    EXPECT_FALSE (users.getChildFile ("u1/a").exists());
    EXPECT_EQ (host.opened, juce::StringArray ({ "a" })) << "the open chapter is shown again, without playing";
    EXPECT_FALSE (chapterRow (0, 0, 0)->isFavorite());
}

TEST_F (CatalogTreeTest, BulkRemovalRunsOnAWorkerHandsTheReopenToTheMessageThreadAndCanBeCancelled)
{
    for (const auto* id : { "a", "b", "c" })
        download (id);

    host.currentChapterId = "b";

    // The real progress window runs the loop on a worker thread while the message thread waits
    // in a modal loop.
    prompts.runTasksOnWorkerThread = true;
    prompts.cancelAtProgress = 0.5;
    prompts.answerNext (true);
    CatalogTreeActions::removeDownloadedChapters (*core, host, 0, -1);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ({ "Removing whole course" }));
    EXPECT_FALSE (core->isVideoPresent ("a"));
    EXPECT_FALSE (core->isVideoPresent ("b"));
    EXPECT_TRUE (core->isVideoPresent ("c")) << "cancelled before the third chapter";
    EXPECT_EQ (host.opened, juce::StringArray ({ "b" }));
    EXPECT_TRUE (host.openedOnMessageThread);
}

namespace
{
/** The orange pixels of a chapter row painted at a width, counted in its lowest rows. */
int countWatchedLinePixels (ChapterItem& item, int width)
{
    juce::Image image (juce::Image::ARGB, width, BaseItem::rowHeight, true);
    {
        juce::Graphics g (image);
        item.paintItem (g, width, BaseItem::rowHeight);
    }

    int count = 0;

    for (int y = BaseItem::rowHeight - BaseItem::watchedLineThickness - 1; y < BaseItem::rowHeight; ++y)
        for (int x = 0; x < width; ++x)
            if (image.getPixelAt (x, y) == juce::Colour (BaseItem::watchedLineColour))
                ++count;

    return count;
}
} // namespace

TEST_F (CatalogTreeTest, AWatchedChapterShowsALineAndATooltipWithRowsAndHeightsUnchanged)
{
    install (juce::String (catalogText).replace ("title=\"Intro\"", "title=\"Intro\" duration=\"1200\""));
    download ("a");
    install (juce::String (catalogText).replace ("title=\"Intro\"", "title=\"Intro\" duration=\"1200\""));
    courseRow (0)->setOpen (true);
    courseRow (0)->getSubItem (0)->setOpen (true);

    const auto rowsBefore = view.getNumRowsInTree();
    auto* intro = chapterRow (0, 0, 0);
    ASSERT_NE (intro, nullptr);
    EXPECT_TRUE (intro->getTooltip().isEmpty()) << "a downloaded chapter never watched keeps its empty tooltip";
    EXPECT_EQ (countWatchedLinePixels (*intro, 300), 0);

    ASSERT_TRUE (core->setWatchedPosition ("a", 750.0));
    EXPECT_EQ (intro->getTooltip(), "Watched 12:30 of 20:00");
    const auto halfWidthPixels = countWatchedLinePixels (*intro, 300);
    EXPECT_GT (halfWidthPixels, 0);
    EXPECT_EQ (intro->getItemHeight(), BaseItem::rowHeight);
    EXPECT_EQ (view.getNumRowsInTree(), rowsBefore);
    EXPECT_EQ (chapterRow (0, 0, 0), intro) << "the row is the same row, in the same place";

    ASSERT_TRUE (core->setWatchedPosition ("a", 1200.0));
    EXPECT_GT (countWatchedLinePixels (*intro, 300), halfWidthPixels) << "the line grows with what was watched";

    // A chapter not on this computer keeps its download hint first.
    EXPECT_TRUE (core->setWatchedPosition ("b", 30.0));
    EXPECT_EQ (chapterRow (0, 0, 1)->getTooltip(), "Click the icon to download this chapter") << "no duration in the catalog: no watched line";
}

TEST (ChapterStatusRules, TheWatchedLineFollowsTheStatusTooltip)
{
    ChapterStatus::State state;
    state.watched = 65.9;
    state.duration = 3725.0;
    EXPECT_EQ (ChapterStatus::getTooltip (state, true), "Click the icon to download this chapter\nWatched 01:05 of 62:05");

    state.downloaded = true;
    EXPECT_EQ (ChapterStatus::getTooltip (state, true), "Watched 01:05 of 62:05");

    state.watched = 0.0;
    EXPECT_TRUE (ChapterStatus::getTooltip (state, true).isEmpty());
}
