#include "app/PreferencesManager.h"
#include "downloads/DownloadThread.h"
#include "kit/ComponentPaths.h"
#include "playback/VideoComponent.h"
#include "tests/common/MessagePump.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "tests/ui/VisiblePanels.h"
#include "tests/ui/WindowTest.h"

#include <gtest/gtest.h>

namespace
{
/** The main window against the real provider, signed in, with its first chapter downloaded
    and open, paused; keys and the mouse come through X, as a person's do.
*/
class FullScreenWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
        ASSERT_NO_FATAL_FAILURE (openSignedIn (provider.getOrigin() + "/", [this] { return core->getNumCourses() > 0; }));

        const auto chapterId = core->getChapterId (0, 0, 0);
        ASSERT_TRUE (core->getChapterDirectory (chapterId).createDirectory());
        ASSERT_TRUE (TestLibraryWriter::getSampleLibrary().getChildFile ("videos/" + chapterId + ".mp4").copyFileTo (core->getVideoFile (chapterId)));
        core->setUsersDirectory (core->getUsersDirectory().getSiblingFile ("elsewhere"), juce::dontSendNotification);
        core->setUsersDirectory (PreferencesManager::getInstance()->getMoviesRootDirectory().getChildFile ("users"), juce::dontSendNotification);
        ASSERT_TRUE (core->isVideoPresent (chapterId));

        window->openChapter (0, 0, 0, false);
        ASSERT_TRUE (video().isMovieOpen());

        // The keys go where a person's click on the picture sends them.
        click (video(), video().getLocalBounds().getCentre());
        ASSERT_TRUE (MessagePump::runUntil ([this] { return video().hasKeyboardFocus (false); }));
    }

    // The pointer goes back to the display's corner, away from where the next test's window opens.
    void TearDown() override
    {
        xdotool ({ "mousemove", "0", "0" });
        WindowTest::TearDown();
    }

    VideoComponent& video() { return window->getMoviePanel().getVideo(); }
    VideoFullScreen& fullScreen() { return window->getVideoFullScreen(); }

    static bool xdotool (const juce::StringArray& arguments)
    {
        juce::StringArray command ("xdotool");
        command.addArray (arguments);
        juce::ChildProcess process;
        return process.start (command) && process.waitForProcessToFinish (5000) && process.getExitCode() == 0;
    }

    static void click (juce::Component& component, juce::Point<int> local, int count = 1)
    {
        const auto onScreen = component.localPointToGlobal (local);
        ASSERT_TRUE (xdotool ({ "mousemove", juce::String (onScreen.x), juce::String (onScreen.y), "click", "--repeat", juce::String (count), "--delay", "60", "1" }));
    }

    static void key (const juce::String& name) { ASSERT_TRUE (xdotool ({ "key", name })); }

    /** What leaving full screen must give back. */
    struct Looks
    {
        juce::Rectangle<int> window, tree, moviePanel, picture, bar;
        bool leftPanel = false, searchPanel = false;
        juce::StringArray rightHandPanels;
        int storedWidth = 0, storedHeight = 0;

        bool operator== (const Looks& other) const
        {
            return window == other.window && tree == other.tree && moviePanel == other.moviePanel && picture == other.picture && bar == other.bar
                && leftPanel == other.leftPanel && searchPanel == other.searchPanel && rightHandPanels == other.rightHandPanels
                && storedWidth == other.storedWidth && storedHeight == other.storedHeight;
        }
    };

    Looks looks()
    {
        auto* preferences = PreferencesManager::getInstance();
        return { window->getBounds(),
                 get (ComponentPaths::treeView)->getScreenBounds(),
                 get (ComponentPaths::moviePanel)->getBounds(),
                 video().getScreenBounds(),
                 get (ComponentPaths::bottomPanel)->getBounds(),
                 get (ComponentPaths::leftPanel)->isVisible(),
                 get (ComponentPaths::searchPanel)->isVisible(),
                 visibleRightHandPanels (*window),
                 preferences->getEditorStartupWidth(),
                 preferences->getEditorStartupHeight() };
    }

    static juce::Rectangle<int> display() { return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->totalArea; }

    ProviderProcess provider { { "--library", TestLibraryWriter::getSampleLibrary().getFullPathName() }, home.getFolder().getChildFile ("provider") };
};
} // namespace

TEST_F (FullScreenWindowTest, FTheVideoCoversTheDisplayAloneAndEscapeGivesTheWindowBackAsItWas)
{
    const auto before = looks();
    ASSERT_NE (before.window, display()) << "the window must start smaller than the display";

    key ("f");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return fullScreen().isActive(); }));
    ASSERT_TRUE (MessagePump::runUntil ([this] { return window->getScreenBounds() == display(); })) << "no window manager is needed";

    const auto size = display().getBottomRight() - display().getPosition();
    EXPECT_EQ (get (ComponentPaths::moviePanel)->getBounds(), juce::Rectangle<int> (size.x, size.y));
    EXPECT_EQ (video().getScreenBounds().getCentre(), display().getCentre()) << "the picture in the middle";
    EXPECT_TRUE (video().getWidth() == size.x || video().getHeight() == size.y) << "and as large as it fits";
    EXPECT_FALSE (get (ComponentPaths::leftPanel)->isVisible());
    EXPECT_FALSE (get (ComponentPaths::searchPanel)->isVisible());
    EXPECT_FALSE (get (ComponentPaths::toggleLeftPanelButton)->isVisible());
    EXPECT_EQ (get (ComponentPaths::bottomPanel)->getBounds(), juce::Rectangle<int> (0, size.y - 55, size.x, 55)) << "the bar over the picture";
    EXPECT_EQ (get (ComponentPaths::positionSlider)->getScreenBounds().getRight(), display().getRight() - 534 + 325);
    EXPECT_EQ (PreferencesManager::getInstance()->getEditorStartupWidth(), before.storedWidth) << "the display's size is not kept";

    // Still, the bar goes; the play key works on without it; a movement brings it back.
    ASSERT_TRUE (MessagePump::runUntil ([this] { return ! fullScreen().isBarShown(); }, 10000));
    EXPECT_EQ (get (ComponentPaths::bottomPanel)->getY(), size.y) << "just below the edge";
    key ("space");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return video().isPlaying(); }));
    EXPECT_FALSE (fullScreen().isBarShown()) << "a key is no movement";

    ASSERT_TRUE (xdotool ({ "mousemove_relative", "--", "40", "-30" }));
    ASSERT_TRUE (MessagePump::runUntil ([this] { return fullScreen().isBarShown(); }));
    EXPECT_EQ (get (ComponentPaths::bottomPanel)->getY(), size.y - 55);

    key ("Escape");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return ! fullScreen().isActive(); }));
    ASSERT_TRUE (MessagePump::runUntil ([&] { return window->getBounds() == before.window; }));
    MessagePump::deliverPending();
    EXPECT_TRUE (looks() == before) << "the window, its panels and the stored size as they were";
    EXPECT_TRUE (video().isPlaying()) << "the video played on";
}

TEST_F (FullScreenWindowTest, ADoubleClickEntersAndLeavesAndAHiddenLeftPanelStaysHidden)
{
    window->setLeftPanelVisible (false);
    const auto before = looks();

    click (video(), video().getLocalBounds().getCentre(), 2);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return fullScreen().isActive() && window->getScreenBounds() == display(); }));
    EXPECT_EQ (video().getScreenBounds().getCentre(), display().getCentre());

    click (video(), video().getLocalBounds().getCentre().translated (0, -50), 2);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return ! fullScreen().isActive(); }));
    ASSERT_TRUE (MessagePump::runUntil ([&] { return window->getBounds() == before.window; }));
    MessagePump::deliverPending();
    EXPECT_TRUE (looks() == before);
    EXPECT_FALSE (get (ComponentPaths::leftPanel)->isVisible()) << "hidden before, hidden after";
    EXPECT_FALSE (video().isPlaying()) << "a double click is no play";
}

TEST_F (FullScreenWindowTest, AnotherPanelTakingTheChapterAwayEndsFullScreen)
{
    const auto before = looks();
    key ("f");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return fullScreen().isActive(); }));

    window->selectSpecialItem (MainWindow::SpecialEntry::downloads);
    EXPECT_FALSE (fullScreen().isActive());
    ASSERT_TRUE (MessagePump::runUntil ([&] { return window->getBounds() == before.window; }));
    EXPECT_TRUE (get (ComponentPaths::leftPanel)->isVisible());
    EXPECT_EQ (visibleRightHandPanels (*window), juce::StringArray ({ ComponentPaths::downloadPanel }));

    // "s" is for the search field, which only the window shows (here without a search
    // database to take the focus).
    window->openChapter (0, 0, 0, false);
    click (video(), video().getLocalBounds().getCentre());
    ASSERT_TRUE (MessagePump::runUntil ([this] { return video().hasKeyboardFocus (false); }));
    key ("f");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return fullScreen().isActive(); }));
    key ("s");
    ASSERT_TRUE (MessagePump::runUntil ([this] { return ! fullScreen().isActive(); }));
    EXPECT_TRUE (get (ComponentPaths::searchPanel)->isShowing());

    // Without a video, "f" is just a key.
    window->selectSpecialItem (MainWindow::SpecialEntry::downloads);
    get (ComponentPaths::toggleLeftPanelButton)->grabKeyboardFocus();
    key ("f");
    MessagePump::deliverPending();
    EXPECT_FALSE (fullScreen().isActive());
}
