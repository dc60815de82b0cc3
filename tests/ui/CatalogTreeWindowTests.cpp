#include "app/PreferencesManager.h"
#include "downloads/DownloadPanel.h"
#include "downloads/DownloadThread.h"
#include "kit/ComponentPaths.h"
#include "playback/CatalogTree.h"
#include "playback/ChapterItem.h"
#include "playback/VideoComponent.h"
#include "tests/common/MessagePump.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "tests/ui/WindowTest.h"

#include <gtest/gtest.h>

namespace
{
/** The main window against the real provider with its sample library, signed in. */
class CatalogTreeWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
        ASSERT_NO_FATAL_FAILURE (openSignedIn (provider.getOrigin() + "/", [this] { return window->getCatalogTree().getNumRows() > 8; }));
    }

    /** Clicks the left button at a point of a component, as a person does: through X. */
    void clickAt (juce::Component& component, juce::Point<int> local)
    {
        const auto onScreen = component.localPointToGlobal (local);
        juce::ChildProcess xdotool;
        ASSERT_TRUE (xdotool.start (juce::StringArray { "xdotool", "mousemove", juce::String (onScreen.x), juce::String (onScreen.y), "click", "1" }));
        xdotool.waitForProcessToFinish (5000);
    }

    juce::TreeView& treeView() { return *window->getContent().getComponent<juce::TreeView> (ComponentPaths::treeView); }

    ProviderProcess provider { { "--library", TestLibraryWriter::getSampleLibrary().getFullPathName() }, home.getFolder().getChildFile ("provider") };
};
} // namespace

TEST_F (CatalogTreeWindowTest, ShowsTheLibraryAndQueuesAChapterFromItsIcon)
{
    auto& tree = window->getCatalogTree();
    EXPECT_EQ (tree.getNumRows(), tree.getFirstCourseRow() + core->getNumCourses());
    auto* course = tree.getRow (tree.getFirstCourseRow());
    course->setOpen (true);
    course->getSubItem (0)->setOpen (true);
    auto* chapter = dynamic_cast<ChapterItem*> (course->getSubItem (0)->getSubItem (0));
    ASSERT_NE (chapter, nullptr);
    EXPECT_TRUE (MessagePump::deliverPending());

    // The status icon sits at the row's left edge, in the middle of its height.
    const auto row = chapter->getItemPosition (true);
    clickAt (treeView(), row.getPosition().translated (7, row.getHeight() / 2) + treeView().getViewport()->getBounds().getPosition());

    EXPECT_TRUE (MessagePump::runUntil ([&] { return core->getDownloads().findDownload (chapter->getChapterId()) >= 0; }))
        << "the click did not queue the chapter";
    EXPECT_TRUE (MessagePump::runUntil ([&] { return window->getContent().getComponent (ComponentPaths::downloadPanel)->isVisible(); }))
        << "a queued chapter selects Downloads";
    EXPECT_TRUE (MessagePump::runUntil ([&] {
        auto* entry = window->getDownloadPanel().getRow (0);
        return entry != nullptr && entry->getLabel().isShowing();
    })) << "the download list shows the entry";

    // The picture a person would see: the tree with its tabs, the download panel beside it.
    const auto file = juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("catalog-tree.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    juce::PNGImageFormat().writeImageToStream (window->createComponentSnapshot (window->getLocalBounds()), out);
    std::cout << "catalog tree screenshot: " << file.getFullPathName() << std::endl;
}

TEST_F (CatalogTreeWindowTest, TheTabStripFiltersTheCourses)
{
    auto& tree = window->getCatalogTree();
    auto* tabs = tree.getRow (6);
    ASSERT_EQ (tabs->getUniqueName(), "tabbedTitle");
    EXPECT_TRUE (MessagePump::deliverPending());

    // FAVORITES lies right of TUTORIALS (77 wide, from -5) and MY TUTORIALS (100 wide).
    const auto strip = tabs->getItemPosition (true).getPosition() + treeView().getViewport()->getBounds().getPosition();
    clickAt (treeView(), strip.translated (200, 10));
    EXPECT_TRUE (MessagePump::runUntil ([&] { return window->getBrowserTab() == favoritesTab; }));
    EXPECT_EQ (tree.getRow (tree.getFirstCourseRow())->getItemHeight(), 0) << "no favourites yet";

    clickAt (treeView(), strip.translated (100, 10));
    EXPECT_TRUE (MessagePump::runUntil ([&] { return window->getBrowserTab() == myTutorialsTab; }));
    EXPECT_EQ (tree.getRow (tree.getFirstCourseRow())->getItemHeight(), 20) << "signed in: every course is the user's";
}

TEST_F (CatalogTreeWindowTest, APlayingChapterNamesTheWindowUntilAnotherPanelIsChosen)
{
    // The chapter's video as a finished download files it, taken from the provider's library;
    // moving the users folder away and back makes Core look for it again.
    const auto chapterId = core->getChapterId (0, 0, 0);
    ASSERT_TRUE (core->getChapterDirectory (chapterId).createDirectory());
    ASSERT_TRUE (TestLibraryWriter::getSampleLibrary().getChildFile ("videos/" + chapterId + ".mp4").copyFileTo (core->getVideoFile (chapterId)));
    core->setUsersDirectory (core->getUsersDirectory().getSiblingFile ("elsewhere"), juce::dontSendNotification);
    core->setUsersDirectory (PreferencesManager::getInstance()->getMoviesRootDirectory().getChildFile ("users"), juce::dontSendNotification);
    ASSERT_TRUE (core->isVideoPresent (chapterId));

    window->openChapter (0, 0, 0, true);
    auto& video = window->getMoviePanel().getVideo();
    ASSERT_TRUE (video.isPlaying());
    EXPECT_TRUE (window->getName().endsWith (core->getChapterTitle (chapterId)));

    window->selectSpecialItem (MainWindow::SpecialEntry::downloads);
    EXPECT_FALSE (video.isMovieOpen());
    EXPECT_EQ (window->getName(), "TSY-Player 1.36");
}

TEST_F (CatalogTreeWindowTest, ACatalogRefreshLeavesAPausedChapterWhereItIs)
{
    const auto chapterId = core->getChapterId (0, 0, 1);
    ASSERT_TRUE (core->getChapterDirectory (chapterId).createDirectory());
    ASSERT_TRUE (TestLibraryWriter::getSampleLibrary().getChildFile ("videos/" + chapterId + ".mp4").copyFileTo (core->getVideoFile (chapterId)));
    core->setUsersDirectory (core->getUsersDirectory().getSiblingFile ("elsewhere"), juce::dontSendNotification);
    core->setUsersDirectory (PreferencesManager::getInstance()->getMoviesRootDirectory().getChildFile ("users"), juce::dontSendNotification);
    ASSERT_TRUE (core->isVideoPresent (chapterId));

    // The user opens the chapter from its row, plays it, and pauses it a few seconds in.
    auto& tree = window->getCatalogTree();
    auto* course = tree.getRow (tree.getFirstCourseRow());
    course->setOpen (true);
    course->getSubItem (0)->setOpen (true);
    course->getSubItem (0)->getSubItem (1)->setSelected (true, true);
    auto& video = window->getMoviePanel().getVideo();
    ASSERT_TRUE (video.isMovieOpen());
    video.play();
    video.setPosition (3.0);
    video.stop();
    ASSERT_FALSE (video.isPlaying());

    // The refresh thread's catalog: the tree is rebuilt with its rows as they were.
    core->broadcast ("cc");
    ASSERT_TRUE (MessagePump::deliverPending());
    EXPECT_TRUE (tree.getRow (tree.getFirstCourseRow())->getSubItem (0)->getSubItem (1)->isSelected());
    EXPECT_TRUE (video.isMovieOpen());
    EXPECT_FALSE (video.isPlaying());
    EXPECT_NEAR (video.getPosition(), 3.0, 0.01) << "the chapter was not rewound";
    EXPECT_TRUE (window->getName().endsWith (core->getChapterTitle (chapterId)));
}
