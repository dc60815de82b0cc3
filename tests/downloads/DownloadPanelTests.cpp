#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "downloads/DownloadPanel.h"
#include "downloads/DownloadThread.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/common/TestHttpServer.h"

#include <gtest/gtest.h>

namespace
{
class DownloadPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Every video request is held a moment and then refused, so the first entry is seen
        // downloading while the others wait, and all of them end in failure soon after; those of
        // the chapters a test holds stay unanswered until it lets them go.
        server.setHandler ([this] (const TestHttpServer::Request& request) {
            for (const auto& id : held)
                if (request.path.contains ("/" + id + "/"))
                    released.wait (30000);

            juce::Thread::sleep (400);
            return TestHttpServer::Response { 404, "gone", "text/plain" };
        });

        juce::XmlElement root ("catalog");
        root.setAttribute ("userid", "u1");
        root.setAttribute ("baseurl", server.getBaseUrl());
        auto* course = root.createNewChildElement ("course");
        course->setAttribute ("id", "c1");
        auto* lesson = course->createNewChildElement ("lesson");

        for (int i = 0; i <= DownloadPanel::numRows; ++i)
        {
            auto* chapter = lesson->createNewChildElement ("chapter");
            chapter->setAttribute ("id", "ch" + juce::String (i));
            chapter->setAttribute ("size", 10);
            chapter->setAttribute ("md5", "0123456789abcdef0123456789abcdef");
        }

        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, root, true));
        core->setUsersDirectory (home.getFolder().getChildFile ("movies/users"), juce::dontSendNotification);
        core->setCatalog (std::move (catalog));
        panel.setSize (panelWidth, panelHeight);
    }

    void TearDown() override
    {
        released.signal();
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    juce::String barText (int i) { return panel.getBarText (i); }
    juce::String labelText (int i)
    {
        auto* shown = panel.getRow (i);
        return shown != nullptr ? shown->getLabel().getText() : "<no row in view>";
    }

    juce::Component* childNamed (const juce::String& name)
    {
        for (auto* child : panel.getChildren())
            if (child->getName() == name)
                return child;

        return nullptr;
    }

    int listedEntries() { return panel.getList().getModel()->getNumRows(); }

    /** The entries whose rows are in view with their three controls showing. */
    int rowsInView()
    {
        int inView = 0;

        for (int i = 0; i < DownloadPanel::numRows; ++i)
            if (auto* shown = panel.getRow (i))
                if (shown->getLabel().isVisible() && shown->getProgressBar().isVisible() && shown->getRemoveButton().isVisible())
                    ++inView;

        return inView;
    }

    void queue (int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE (panel.startDownload (0, "ch" + juce::String (i), "entry " + juce::String (i)));

        panel.update();
    }

    void waitUntilAllFinished()
    {
        // Between two entries none is running, so every entry's own state is looked at.
        ASSERT_TRUE (MessagePump::runUntil ([this] {
            for (int i = 0; i < core->getDownloads().getDownloadCount(); ++i)
                if (const auto state = core->getDownloads().getDownloadState (i); state != DownloadState::Completed && state != DownloadState::Failed)
                    return false;

            return true;
        }));
        MessagePump::deliverPending();
    }

    ScratchHome home;
    ScriptedPrompts prompts;
    juce::StringArray held;
    juce::WaitableEvent released { true };
    TestHttpServer server;
    std::unique_ptr<Core> core = std::make_unique<Core> (home.getUserDataFolder(), Core::Workers { DownloadThread::makeJob });
    DownloadPanel panel { *core };

    // The panel's size in a window of 1200 x 778 with the left panel showing.
    static constexpr int panelWidth = 893, panelHeight = 723;
};
} // namespace

TEST_F (DownloadPanelTest, RowsFollowTheQueue)
{
    panel.update();
    EXPECT_EQ (listedEntries(), 0);
    EXPECT_EQ (rowsInView(), 0) << "an empty queue shows no rows";

    ASSERT_TRUE (panel.startDownload (0, "ch0", "Course, Lesson, 1.1 - First"));
    ASSERT_TRUE (panel.startDownload (0, "ch1", "Course, Lesson, 1.2 - Second"));
    ASSERT_TRUE (panel.startDownload (0, "ch2", "Course, Lesson, 1.3 - Third"));
    panel.update();

    EXPECT_EQ (rowsInView(), 3);
    EXPECT_EQ (labelText (0), "Course, Lesson, 1.1 - First");
    EXPECT_EQ (labelText (2), "Course, Lesson, 1.3 - Third");
    EXPECT_TRUE (barText (0).isEmpty()) << "a running download shows its percentage";
    EXPECT_EQ (barText (1), "Queued");
    EXPECT_DOUBLE_EQ (panel.getProgressValue (1), 0.0);

    // Each row keeps the names of its controls and their places in the list.
    auto* third = panel.getRow (2);
    ASSERT_NE (third, nullptr);
    EXPECT_EQ (third->getLabel().getName(), "downloadLabel;2");
    EXPECT_EQ (third->getProgressBar().getName(), "downloadProgress;2");
    EXPECT_EQ (third->getRemoveButton().getName(), "downloadRemove;2");
    const auto rowWidth = panelWidth - panel.getList().getViewport()->getScrollBarThickness();
    auto& bar = third->getProgressBar();
    EXPECT_EQ (panel.getList().getLocalArea (&bar, bar.getLocalBounds()), juce::Rectangle<int> (5, 155, rowWidth - 35, 25));
    EXPECT_EQ (panel.getList().getViewport()->getViewedComponent()->getHeight(), 3 * DownloadPanel::rowHeight);

    // The panel's own controls keep their places.
    EXPECT_EQ (panel.getList().getBounds(), juce::Rectangle<int> (0, 0, panelWidth, panelHeight - 55));
    auto* clear = childNamed ("clearCompletedDownloadsButton");
    ASSERT_NE (clear, nullptr);
    EXPECT_EQ (clear->getBounds(), juce::Rectangle<int> (5, panelHeight - 30, 120, 25));
    EXPECT_EQ (childNamed ("downloadViewport"), &panel.getList());

    // Progress for a chapter that is not queued changes nothing.
    const auto before = panel.getProgressValue (0);
    panel.progressChanged ("ch9");
    EXPECT_DOUBLE_EQ (panel.getProgressValue (0), before);

    waitUntilAllFinished();
    panel.update();

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (barText (i), "Error");
        EXPECT_DOUBLE_EQ (panel.getProgressValue (i), 1.0);
    }
}

TEST_F (DownloadPanelTest, ManyEntriesShareAFewRows)
{
    queue (300);
    EXPECT_EQ (listedEntries(), 300);
    EXPECT_LT (rowsInView(), 20) << "rows exist only for the entries in view";
    EXPECT_EQ (labelText (0), "entry 0");
    EXPECT_EQ (panel.getRow (250), nullptr) << "far below the view";

    panel.getList().scrollToEnsureRowIsOnscreen (250);
    auto* shown = panel.getRow (250);
    ASSERT_NE (shown, nullptr);
    EXPECT_EQ (shown->getLabel().getText(), "entry 250");
    EXPECT_EQ (shown->getRemoveButton().getName(), "downloadRemove;250");
    EXPECT_EQ (panel.getRow (0), nullptr) << "the top rows were handed on";

    // The row's remove button removes its own entry; the rows below move up.
    prompts.answerNext (true);
    ASSERT_NE (shown->onRemove, nullptr);
    shown->onRemove (shown->getEntry());
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 299);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (249), "entry 249");
    EXPECT_EQ (core->getDownloads().getDownloadTitle (250), "entry 251");
    MessagePump::deliverPending();
    EXPECT_EQ (listedEntries(), 299) << "the panel follows the queue on its own";
    EXPECT_EQ (labelText (250), "entry 251");
    EXPECT_EQ (labelText (249), "entry 249");

    // Scrolling back hands the rows to the first entries again.
    panel.getList().scrollToEnsureRowIsOnscreen (0);
    EXPECT_EQ (labelText (0), "entry 0");
}

TEST_F (DownloadPanelTest, RemovingAnUnfinishedEntryAsksFirst)
{
    ASSERT_TRUE (panel.startDownload (0, "ch0", "first"));
    ASSERT_TRUE (panel.startDownload (0, "ch1", "second"));

    prompts.answerNext (false);
    panel.removeRow (1);
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 2);
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].text, "The download is not complete. Remove it anyway?");
    EXPECT_EQ (prompts.shown[0].buttons, juce::StringArray ({ "Yes", "No" }));
    EXPECT_TRUE (prompts.shown[0].title.isEmpty());

    prompts.answerNext (true);
    panel.removeRow (1);
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 1);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (0), "first");

    waitUntilAllFinished();
    panel.removeRow (0);
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 0) << "a finished entry goes without a question";
    EXPECT_EQ (prompts.shown.size(), 2u);

    panel.removeRow (5);
    EXPECT_EQ (prompts.shown.size(), 2u) << "a row without an entry does nothing";
}

TEST_F (DownloadPanelTest, ClearCompletedRemovesExactlyTheFinished)
{
    queue (3);
    waitUntilAllFinished();

    // The later two stay unfinished (one running, one queued) while the list is cleared.
    held = { "ch10", "ch11" };
    ASSERT_TRUE (panel.startDownload (0, "ch10", "later one"));
    ASSERT_TRUE (panel.startDownload (0, "ch11", "later two"));
    panel.update();
    EXPECT_EQ (rowsInView(), 5);

    panel.clearCompleted();
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 2);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (0), "later one");
    EXPECT_EQ (core->getDownloads().getDownloadTitle (1), "later two");
    MessagePump::deliverPending();
    EXPECT_EQ (rowsInView(), 2);
    EXPECT_EQ (labelText (0), "later one");
    EXPECT_EQ (labelText (1), "later two");
    EXPECT_EQ (panel.getRow (2), nullptr) << "the rows of the cleared entries show nothing";
}

TEST_F (DownloadPanelTest, AFullListRefusesMore)
{
    queue (DownloadPanel::numRows);
    EXPECT_EQ (listedEntries(), DownloadPanel::numRows);
    panel.getList().scrollToEnsureRowIsOnscreen (DownloadPanel::numRows - 1);
    EXPECT_EQ (labelText (DownloadPanel::numRows - 1), "entry 1023");

    EXPECT_FALSE (panel.startDownload (0, "ch1024", "one too many"));
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "Download list full");
    EXPECT_EQ (prompts.shown[0].text, "Wait for some downloads to complete, then clear the list to free the needed slots");
    EXPECT_EQ (core->getDownloads().getDownloadCount(), DownloadPanel::numRows);
}

TEST (DownloadPanelLayout, RowsStackBelowEachOther)
{
    const auto first = DownloadRow::getBounds (893, 8);
    const auto v = 893 - 8 - 35;
    EXPECT_EQ (first.label, juce::Rectangle<int> (5, 10, v, 20));
    EXPECT_EQ (first.progress, juce::Rectangle<int> (5, 35, v, 25));
    EXPECT_EQ (first.remove, juce::Rectangle<int> (v + 10, 35, 25, 25));
}
