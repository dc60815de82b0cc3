#include "app/MyApplication.h"
#include "tests/common/ScratchHome.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <gtest/gtest.h>


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
    runCommand ({ "xdotool", "mousemove", "--window", windowId, juce::String (width - 15), "13", "click", "1" });
}


/** Keeps what the screen shows, for whoever reads a failure. */
void keepScreen (const juce::String& name)
{
    const auto shot = juce::File::getCurrentWorkingDirectory().getChildFile (name + ".png");
    runCommand ({ "/usr/bin/import", "-window", "root", shot.getFullPathName() });
    std::cout << "screen at the failure: " << shot.getFullPathName() << std::endl;
}

/** Clicks the close button until the program has ended; false if it never did. */
bool closeAndWait (juce::ChildProcess& process, const juce::String& windowId)
{
    // A click that lands while the window is still busy with its start-up may be missed.
    for (int attempt = 0; attempt < 5; ++attempt)
    {
        clickCloseButton (windowId);

        if (process.waitForProcessToFinish (4000))
            return true;
    }

    keepScreen ("app-close-failure");
    return false;
}

void rememberDemoUser (const juce::File& dataFolder);

/** A player home set up against a running provider: the test-server file points at it and the
    demo user's login is remembered, with logging on.
*/
struct PlayerAgainstProvider
{
    PlayerAgainstProvider()
    {
        home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (provider.getOrigin() + "/");

        // The test-server file moves the program's data into the "test" child.
        rememberDemoUser (getDataFolder());
    }

    juce::File getDataFolder() const { return home.getUserDataFolder().getChildFile ("test"); }
    juce::String getLog() const { return home.getDesktop().getChildFile ("TSY-Player Log.txt").loadFileAsString(); }

    ScratchHome home;
    ProviderProcess provider { { "--library", TSY_PROVIDER_SAMPLE_LIBRARY }, home.getFolder().getChildFile ("provider") };
};

/** Clicks the single button of the alert with this title once it shows (the button sits
    centred near the bottom edge); false when the alert never came or did not go.
*/
bool dismissAlert (const juce::String& title)
{
    const auto windows = waitForWindowsTitled (title, 20000);

    if (windows.isEmpty())
    {
        keepScreen ("alert-missing");
        return false;
    }

    // A fresh alert may still be settling its size, so click again until it has gone.
    for (int attempt = 0; attempt < 20 && ! findWindowsTitled (title).isEmpty(); ++attempt)
    {
        juce::Thread::sleep (250);
        const auto geometry = runCommand ({ "xdotool", "getwindowgeometry", "--shell", windows[0] });
        const auto width = geometry.fromFirstOccurrenceOf ("WIDTH=", false, false).getIntValue();
        const auto height = geometry.fromFirstOccurrenceOf ("HEIGHT=", false, false).getIntValue();
        runCommand ({ "xdotool", "mousemove", "--window", windows[0], juce::String (width / 2), juce::String (height - 24), "click", "1" });
    }

    if (! findWindowsTitled (title).isEmpty())
    {
        keepScreen ("alert-failure");
        return false;
    }

    return true;
}

/** Writes the preferences of a returning user: the demo user's login remembered, logging on. */
void rememberDemoUser (const juce::File& dataFolder)
{
    const auto preferences = dataFolder.getChildFile ("preferences.xml");
    preferences.getParentDirectory().createDirectory();
    preferences.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="startupUsername" val="giulia.rossi@example.com"/>
  <VALUE name="startupPasswordHash" val=")" + juce::MD5 (juce::String ("tessaly-giulia").toUTF8()).toHexString() + R"("/>
  <VALUE name="language" val="1"/>
  <VALUE name="loggingEnabled" val="1"/>
</PROPERTIES>)");
}

/** A loopback port on which nothing listens (it was free a moment ago). */
int findClosedPort()
{
    juce::StreamingSocket socket;
    socket.createListener (0, "127.0.0.1");
    return socket.getBoundPort();
}

/** Starts the player against a server address, clicks away "Test site" and waits for the box
    with this title to be dismissed with its only button; the process must then end by itself.
    Nothing touches the display after that click, so an idle loop that misses the quit shows.
*/
void expectQuitAfterBox (const ScratchHome& home, const juce::String& boxTitle)
{
    juce::ChildProcess player;
    ASSERT_TRUE (player.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (dismissAlert ("Test site"));
    ASSERT_TRUE (dismissAlert ("Logging enabled"));
    ASSERT_TRUE (dismissAlert (boxTitle)) << boxTitle << " was never shown";

    const auto ended = player.waitForProcessToFinish (8000);

    if (! ended)
        player.kill();

    EXPECT_TRUE (ended) << "the program is still running after \"" << boxTitle << "\"";
    const auto log = home.getDesktop().getChildFile ("TSY-Player Log.txt").loadFileAsString();
    EXPECT_TRUE (log.endsWith ("\r\nProgram terminated\r\n")) << log;
}

/** Presses Return in the alert with this title until it has gone: a key that arrives before the
    alert has taken the keyboard is lost. False when the alert never came or never went.
*/
bool acceptAlert (const juce::String& title)
{
    const auto windows = waitForWindowsTitled (title, 20000);

    for (int attempt = 0; attempt < 40 && ! windows.isEmpty(); ++attempt)
    {
        runCommand ({ "xdotool", "key", "--window", windows[0], "Return" });

        for (int check = 0; check < 5; ++check)
        {
            if (findWindowsTitled (title).isEmpty())
                return true;

            juce::Thread::sleep (50);
        }
    }

    return false;
}

bool waitForFile (const juce::File& file, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs && ! file.existsAsFile(); waited += 50)
        juce::Thread::sleep (50);

    return file.existsAsFile();
}
} // namespace

TEST (Application, NameVersionAndTitleComeFromTheBuild)
{
    EXPECT_EQ (MyApplication::getMainWindowTitle(), "TSY-Player 1.36");
}

TEST (Application, StartsOnceFetchesTheCatalogAndQuitsFromTheCloseButton)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    PlayerAgainstProvider setup;
    ASSERT_TRUE (setup.provider.isRunning()) << setup.provider.readErrors();
    const juce::String title ("TSY-Player 1.36");
    ASSERT_TRUE (findWindowsTitled (title).isEmpty());

    // Whatever the program prints is kept: with logging on, its lines belong in the file only.
    juce::ChildProcess first;
    ASSERT_TRUE (first.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (dismissAlert ("Test site"));

    const auto windows = waitForWindowsTitled (title, 20000);
    ASSERT_EQ (windows.size(), 1) << "the first instance shows one window";
    ASSERT_TRUE (dismissAlert ("Logging enabled"));
    ASSERT_TRUE (waitForFile (setup.getDataFolder().getChildFile ("cat1001en.xml"), 20000)) << "the user's catalog was fetched and cached";

    juce::ChildProcess second;
    ASSERT_TRUE (second.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (second.waitForProcessToFinish (15000)) << "a second start ends by itself";
    EXPECT_EQ (second.getExitCode(), 0u);
    EXPECT_EQ (findWindowsTitled (title).size(), 1) << "and leaves one window";
    EXPECT_TRUE (first.isRunning());

    ASSERT_TRUE (closeAndWait (first, windows[0])) << "the close button quits";
    EXPECT_EQ (first.getExitCode(), 0u);
    const auto printed = first.readAllProcessOutput();
    EXPECT_FALSE (printed.contains ("Program started") || printed.contains ("retrieving URL")) << printed;
    EXPECT_TRUE (findWindowsTitled (title).isEmpty());

    const auto log = setup.getLog();
    EXPECT_TRUE (log.contains ("\r\nProgram started\r\n"));
    EXPECT_TRUE (log.contains ("main window ready, retrieving catalog"));
    EXPECT_TRUE (log.contains ("online user catalog retrieval result: 0"));
    EXPECT_FALSE (log.contains (juce::MD5 (juce::String ("tessaly-giulia").toUTF8()).toHexString())) << "no password hash in the log";
    EXPECT_TRUE (log.endsWith ("\r\nProgram terminated\r\n")) << log;
    EXPECT_TRUE (setup.provider.readOutput().contains ("catalog.php")) << "the provider saw the request";

    // With the provider gone, the next start works from the cached copy.
    setup.provider.stop();
    juce::ChildProcess offline;
    ASSERT_TRUE (offline.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (dismissAlert ("Test site"));
    const auto again = waitForWindowsTitled (title, 20000);
    ASSERT_EQ (again.size(), 1);
    ASSERT_TRUE (dismissAlert ("Logging enabled"));

    for (int i = 0; i < 200 && ! setup.getLog().contains ("cached user catalog retrieval result: 0"); ++i)
        juce::Thread::sleep (50);

    EXPECT_TRUE (setup.getLog().contains ("cached user catalog retrieval result: 0"));
    ASSERT_TRUE (closeAndWait (offline, again[0]));

    // With logging switched off, a run leaves the log file alone.
    const auto preferences = setup.getDataFolder().getChildFile ("preferences.xml");
    ASSERT_TRUE (preferences.replaceWithText (preferences.loadFileAsString().replace ("name=\"loggingEnabled\" val=\"1\"", "name=\"loggingEnabled\" val=\"0\"")));
    const auto logBefore = setup.getLog();
    juce::ChildProcess quiet;
    ASSERT_TRUE (quiet.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (dismissAlert ("Test site"));
    const auto last = waitForWindowsTitled (title, 20000);
    ASSERT_EQ (last.size(), 1);
    juce::Thread::sleep (500);
    EXPECT_TRUE (findWindowsTitled ("Logging enabled").isEmpty());
    ASSERT_TRUE (closeAndWait (quiet, last[0]));
    EXPECT_EQ (setup.getLog(), logBefore);
    const auto quietOutput = quiet.readAllProcessOutput();
    EXPECT_FALSE (quietOutput.contains ("Program started") || quietOutput.contains ("received:")) << "nothing is logged anywhere: " << quietOutput;
}

TEST (Application, FirstLaunchWithoutServerEndsAfterTheBox)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ScratchHome home;
    home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText ("http://127.0.0.1:" + juce::String (findClosedPort()) + "/");
    rememberDemoUser (home.getUserDataFolder().getChildFile ("test"));
    expectQuitAfterBox (home, "Connection missing upon first launch");
}

TEST (Application, FirstLaunchDuringMaintenanceEndsAfterTheBox)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ScratchHome home;
    ProviderProcess provider ({ "--library", TSY_PROVIDER_SAMPLE_LIBRARY, "--maintenance" }, home.getFolder().getChildFile ("provider"));
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (provider.getOrigin() + "/");
    rememberDemoUser (home.getUserDataFolder().getChildFile ("test"));
    expectQuitAfterBox (home, "Server maintenance upon first launch");
}

TEST (Application, AcceptedUpgradeEndsTheProgram)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ScratchHome home;
    TestLibraryWriter::Layout layout;
    layout.programVersion = "1.37";
    const auto library = home.getFolder().getChildFile ("library");
    TestLibraryWriter::write (library, layout);
    ProviderProcess provider ({ "--library", library.getFullPathName() }, home.getFolder().getChildFile ("provider"));
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (provider.getOrigin() + "/");
    const auto& user = TestLibraryWriter::firstUser();
    const auto preferences = home.getUserDataFolder().getChildFile ("test/preferences.xml");
    preferences.getParentDirectory().createDirectory();
    preferences.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="startupUsername" val=")" + user.email + R"("/>
  <VALUE name="startupPasswordHash" val=")" + juce::MD5 (user.password.toUTF8()).toHexString() + R"("/>
  <VALUE name="loggingEnabled" val="1"/>
</PROPERTIES>)");

    // "Yes" is the alert's default button, so Return accepts the offer.
    juce::ChildProcess player;
    ASSERT_TRUE (player.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (dismissAlert ("Test site"));
    ASSERT_TRUE (dismissAlert ("Logging enabled"));
    ASSERT_TRUE (acceptAlert ("New version available")) << "the newer version was not offered, or the offer not taken";

    const auto ended = player.waitForProcessToFinish (15000);

    if (! ended)
        player.kill();

    EXPECT_TRUE (ended) << "the program is still running after the upgrade";
    EXPECT_TRUE (provider.readOutput().contains ("/download/")) << "the installer was fetched";
}

TEST (Application, ALanguageChangeThatFindsNoCatalogEndsTheProgram)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    PlayerAgainstProvider setup;
    ASSERT_TRUE (setup.provider.isRunning()) << setup.provider.readErrors();

    juce::ChildProcess player;
    ASSERT_TRUE (player.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (dismissAlert ("Test site"));
    ASSERT_TRUE (dismissAlert ("Logging enabled"));
    const auto windows = waitForWindowsTitled ("TSY-Player 1.36", 20000);
    ASSERT_EQ (windows.size(), 1);
    ASSERT_TRUE (waitForFile (setup.getDataFolder().getChildFile ("cat1001en.xml"), 20000));

    // Without the server, and with no Italian catalog cached, the new language has no catalog.
    setup.provider.stop();

    // The tree's "Preferences" row (the fourth, 20 pixels each, under the 26-pixel title bar),
    // then the language combo (at 240, 45 in the panel, right of the 291 + 7 pixels of the left
    // panel), then "Italian", the first entry of its menu, just under the combo. A click that
    // comes before the menu is up lands on the panel, so it is repeated until the answer shows.
    const auto click = [&] (int x, int y) {
        runCommand ({ "xdotool", "mousemove", "--window", windows[0], juce::String (x), juce::String (y), "click", "1" });
    };

    click (80, 26 + 70);
    click (298 + 240 + 100, 26 + 55);

    for (int attempt = 0; attempt < 10 && findWindowsTitled ("Connection missing upon first launch").isEmpty(); ++attempt)
    {
        click (298 + 240 + 100, 26 + 55 + 22);
        waitForWindowsTitled ("Connection missing upon first launch", 1000);
    }

    ASSERT_TRUE (dismissAlert ("Connection missing upon first launch")) << "the language change did not reach the retrieval";
    const auto ended = player.waitForProcessToFinish (8000);

    if (! ended)
        player.kill();

    EXPECT_TRUE (ended) << "the program is still running after the failed language change";
    EXPECT_TRUE (setup.getLog().endsWith ("\r\nProgram terminated\r\n"));
}
