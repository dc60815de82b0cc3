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
struct IgnoredClicks final : juce::Button::Listener
{
    void buttonClicked (juce::Button*) override {}
};

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
    }

    void TearDown() override
    {
        released.signal();
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    juce::Component& row (const char* baseName, int i) { return *rows.getComponent (baseName + juce::String (";") + juce::String (i)); }
    juce::String barText (int i) { return panel.getBarText (i); }
    juce::String labelText (int i) { return dynamic_cast<juce::Label&> (row ("downloadLabel", i)).getText(); }

    int visibleRows()
    {
        int visible = 0;

        for (int i = 0; i < DownloadPanel::numRows; ++i)
            if (row ("downloadLabel", i).isVisible() && row ("downloadProgress", i).isVisible() && row ("downloadRemove", i).isVisible())
                ++visible;

        return visible;
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
    qo::ComponentContainer rows { "downloadList" };
    IgnoredClicks clicks;
    DownloadPanel panel { *core, rows, clicks };
};
} // namespace

TEST_F (DownloadPanelTest, RowsFollowTheQueue)
{
    panel.update();
    EXPECT_EQ (visibleRows(), 0) << "an empty queue shows no rows";

    ASSERT_TRUE (panel.startDownload (0, "ch0", "Course, Lesson, 1.1 - First"));
    ASSERT_TRUE (panel.startDownload (0, "ch1", "Course, Lesson, 1.2 - Second"));
    ASSERT_TRUE (panel.startDownload (0, "ch2", "Course, Lesson, 1.3 - Third"));
    panel.update();

    EXPECT_EQ (visibleRows(), 3);
    EXPECT_EQ (labelText (0), "Course, Lesson, 1.1 - First");
    EXPECT_EQ (labelText (2), "Course, Lesson, 1.3 - Third");
    EXPECT_TRUE (barText (0).isEmpty()) << "a running download shows its percentage";
    EXPECT_EQ (barText (1), "Queued");
    EXPECT_DOUBLE_EQ (panel.getProgressValue (1), 0.0);

    panel.layoutRows (500, 8);
    EXPECT_EQ (row ("downloadProgress", 2).getBounds(), juce::Rectangle<int> (5, 155, 457, 25));
    EXPECT_EQ (rows.getHeight(), 185);

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

TEST_F (DownloadPanelTest, ClearCompletedKeepsTheRestInOrder)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE (panel.startDownload (0, "ch" + juce::String (i), "entry " + juce::String (i)));

    waitUntilAllFinished();

    // The later two stay unfinished (one running, one queued) while the list is cleared.
    held = { "ch10", "ch11" };
    ASSERT_TRUE (panel.startDownload (0, "ch10", "later one"));
    ASSERT_TRUE (panel.startDownload (0, "ch11", "later two"));
    panel.clearCompleted();

    ASSERT_EQ (core->getDownloads().getDownloadCount(), 2);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (0), "later one");
    EXPECT_EQ (core->getDownloads().getDownloadTitle (1), "later two");
    panel.update();
    EXPECT_EQ (visibleRows(), 2);
    EXPECT_EQ (labelText (0), "later one");
    EXPECT_EQ (labelText (1), "later two");
}

TEST_F (DownloadPanelTest, AFullListRefusesMore)
{
    for (int i = 0; i < DownloadPanel::numRows; ++i)
        ASSERT_TRUE (panel.startDownload (0, "ch" + juce::String (i), "entry " + juce::String (i)));

    panel.update();
    EXPECT_EQ (visibleRows(), DownloadPanel::numRows);

    EXPECT_FALSE (panel.startDownload (0, "ch1024", "one too many"));
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "Download list full");
    EXPECT_EQ (prompts.shown[0].text, "Wait for some downloads to complete, then clear the list to free the needed slots");
    EXPECT_EQ (core->getDownloads().getDownloadCount(), DownloadPanel::numRows);
}

TEST (DownloadPanelLayout, RowsStackBelowEachOther)
{
    const auto first = DownloadPanel::getRowBounds (0, 893, 8);
    const auto v = 893 - 8 - 35;
    EXPECT_EQ (first.label, juce::Rectangle<int> (5, 10, v, 20));
    EXPECT_EQ (first.progress, juce::Rectangle<int> (5, 35, v, 25));
    EXPECT_EQ (first.remove, juce::Rectangle<int> (v + 10, 35, 25, 25));
    EXPECT_EQ (DownloadPanel::getRowBounds (17, 893, 8).label.getY(), 5 + 17 * 60 + 5);
    EXPECT_EQ (DownloadPanel::getListBounds (3, 893, 8), juce::Rectangle<int> (0, 0, 885, 185));
}
