#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "downloads/DownloadPanel.h"
#include "downloads/DownloadThread.h"
#include "model/Core.h"
#include "playback/CatalogTree.h"
#include "playback/ChapterItem.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "ui/MainWindow.h"
#include "ui/kit/ComponentPaths.h"

#include <gtest/gtest.h>

namespace
{
/** The main window against the real provider with its sample library, signed in. */
class CatalogTreeWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
        ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
        ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (provider.getOrigin() + "/"));
        auto* preferences = PreferencesManager::getInstance();
        preferences->load (SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml"));
        preferences->setCredentials ("giulia.rossi@example.com", juce::MD5 (juce::String ("tessaly-giulia").toUTF8()).toHexString());
        preferences->setLanguage (1);

        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), Core::Workers { DownloadThread::makeJob });
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core);
        window->setVisible (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return window->getCatalogTree().getNumRows() > 8; })) << "the tree never filled";
        window->toFront (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return window->getPeer() != nullptr && window->getPeer()->isFocused(); }));
    }

    void TearDown() override
    {
        window = nullptr;
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
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

    ScratchHome home;
    ScriptedPrompts prompts;
    ProviderProcess provider { { "--library", TestLibraryWriter::getSampleLibrary().getFullPathName() }, home.getFolder().getChildFile ("provider") };
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> window;
};
} // namespace

TEST_F (CatalogTreeWindowTest, ShowsTheLibraryAndQueuesAChapterFromItsIcon)
{
    auto& tree = window->getCatalogTree();
    EXPECT_EQ (tree.getNumRows(), tree.getFirstCourseRow() + core->getNumCourses());
    ASSERT_GT (core->getNumCourses(), 1);
    EXPECT_EQ (tree.getRow (tree.getFirstCourseRow())->getUniqueName(), "c0");

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
    EXPECT_TRUE (tree.getRow (tree.getDownloadsRow())->isSelected());
    auto* entry = window->getDownloadList().getComponent (DownloadPanel::labelName + juce::String (";0"));
    ASSERT_NE (entry, nullptr);
    EXPECT_TRUE (MessagePump::runUntil ([&] { return entry->isShowing(); })) << "the download list shows the entry";

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

TEST_F (CatalogTreeWindowTest, SpecialEntriesSelectTheirRowsAndPanels)
{
    auto& tree = window->getCatalogTree();
    window->selectSpecialItem (MainWindow::SpecialEntry::preferences);
    EXPECT_TRUE (tree.getRow (tree.getPreferencesRow())->isSelected());
    EXPECT_TRUE (window->getContent().getComponent (ComponentPaths::preferencesPanel)->isVisible());

    window->selectSpecialItem (MainWindow::SpecialEntry::downloads);
    EXPECT_TRUE (tree.getRow (tree.getDownloadsRow())->isSelected());
    EXPECT_FALSE (tree.getRow (tree.getPreferencesRow())->isSelected());
    EXPECT_TRUE (window->getContent().getComponent (ComponentPaths::downloadPanel)->isVisible());
    EXPECT_FALSE (window->getContent().getComponent (ComponentPaths::preferencesPanel)->isVisible());
}
