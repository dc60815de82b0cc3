#include "app/MyApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
/** Runs a command and returns what it printed, trimmed. */
juce::String runCommand (const juce::StringArray& command)
{
    juce::ChildProcess process;

    if (! process.start (command))
        return {};

    const auto output = process.readAllProcessOutput();
    process.waitForProcessToFinish (5000);
    return output.trim();
}

/** The ids of the windows whose title is exactly the given one. */
juce::StringArray findWindowsTitled (const juce::String& title)
{
    juce::StringArray ids;
    ids.addLines (runCommand ({ "xdotool", "search", "--name", "^" + title + "$" }));
    ids.removeEmptyStrings();
    return ids;
}

juce::StringArray waitForWindowsTitled (const juce::String& title, int timeoutMs)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    for (;;)
    {
        auto ids = findWindowsTitled (title);

        if (! ids.isEmpty() || juce::Time::getMillisecondCounter() > end)
            return ids;

        juce::Thread::sleep (100);
    }
}

/** Clicks the close button at the right end of the program's own title bar. */
void clickCloseButton (const juce::String& windowId)
{
    const auto geometry = runCommand ({ "xdotool", "getwindowgeometry", "--shell", windowId });
    const auto width = geometry.fromFirstOccurrenceOf ("WIDTH=", false, false).getIntValue();
    runCommand ({ "xdotool", "mousemove", "--window", windowId, juce::String (width - 12), "12", "click", "1" });
}

/** A private home for the program under test, so it never touches the developer's files. */
struct ScratchHome
{
    ScratchHome()
    {
        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        setenv ("XDG_DATA_HOME", folder.getChildFile (".local/share").getFullPathName().toRawUTF8(), 1);
    }

    ~ScratchHome() { folder.deleteRecursively(); }

    juce::File folder = juce::File::createTempFile ("tsy-home");
};
} // namespace

TEST (Application, NameVersionAndTitleComeFromTheBuild)
{
    EXPECT_EQ (MyApplication::getMainWindowTitle(), "TSY-Player 1.36");
}

TEST (Application, StartsOnceShowsItsWindowAndQuitsFromTheCloseButton)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const ScratchHome home;
    const juce::String title ("TSY-Player 1.36");
    ASSERT_TRUE (findWindowsTitled (title).isEmpty());

    juce::ChildProcess first;
    ASSERT_TRUE (first.start (juce::StringArray { TSY_PLAYER_PATH }, 0));

    const auto windows = waitForWindowsTitled (title, 20000);
    ASSERT_EQ (windows.size(), 1) << "the first instance shows one window";

    juce::ChildProcess second;
    ASSERT_TRUE (second.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (second.waitForProcessToFinish (15000)) << "a second start ends by itself";
    EXPECT_EQ (second.getExitCode(), 0u);
    EXPECT_EQ (findWindowsTitled (title).size(), 1) << "and leaves one window";
    EXPECT_TRUE (first.isRunning());

    clickCloseButton (windows[0]);
    ASSERT_TRUE (first.waitForProcessToFinish (15000)) << "the close button quits";
    EXPECT_EQ (first.getExitCode(), 0u);
    EXPECT_TRUE (findWindowsTitled (title).isEmpty());
}
