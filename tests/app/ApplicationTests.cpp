#include "app/MyApplication.h"
#include "tests/app/DesktopDriver.h"
#include "tests/common/ScratchHome.h"
#include "tests/downloads/FaultServer.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <gtest/gtest.h>


namespace
{
using Driver = DesktopDriver;

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
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (Driver::dismissAlert (boxTitle)) << boxTitle << " was never shown";

    const auto ended = player.waitForProcessToFinish (8000);

    if (! ended)
        player.kill();

    EXPECT_TRUE (ended) << "the program is still running after \"" << boxTitle << "\"";
    const auto log = home.getDesktop().getChildFile ("TSY-Player Log.txt").loadFileAsString();
    EXPECT_TRUE (log.endsWith ("\r\nProgram terminated\r\n")) << log;
}

bool waitForFile (const juce::File& file, int timeoutMs)
{
    return DesktopDriver::waitFor ([&] { return file.existsAsFile(); }, timeoutMs);
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
    ASSERT_TRUE (Driver::findWindowsTitled (title).isEmpty());

    // Whatever the program prints is kept: with logging on, its lines belong in the file only.
    juce::ChildProcess first;
    ASSERT_TRUE (first.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));

    const auto windows = Driver::waitForWindowsTitled (title, 20000);
    ASSERT_EQ (windows.size(), 1) << "the first instance shows one window";
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (waitForFile (setup.getDataFolder().getChildFile ("cat1001en.xml"), 20000)) << "the user's catalog was fetched and cached";

    juce::ChildProcess second;
    ASSERT_TRUE (second.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (second.waitForProcessToFinish (15000)) << "a second start ends by itself";
    EXPECT_EQ (second.getExitCode(), 0u);
    EXPECT_EQ (Driver::findWindowsTitled (title).size(), 1) << "and leaves one window";
    EXPECT_TRUE (first.isRunning());

    ASSERT_TRUE (Driver (windows[0]).closeAndWait (first)) << "the close button quits";
    EXPECT_EQ (first.getExitCode(), 0u);
    const auto printed = first.readAllProcessOutput();
    EXPECT_FALSE (printed.contains ("Program started") || printed.contains ("retrieving URL")) << printed;
    EXPECT_TRUE (Driver::findWindowsTitled (title).isEmpty());

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
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    const auto again = Driver::waitForWindowsTitled (title, 20000);
    ASSERT_EQ (again.size(), 1);
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));

    EXPECT_TRUE (Driver::waitFor ([&] { return setup.getLog().contains ("cached user catalog retrieval result: 0"); }, 10000));
    ASSERT_TRUE (Driver (again[0]).closeAndWait (offline));

    // With logging switched off, a run leaves the log file alone.
    const auto preferences = setup.getDataFolder().getChildFile ("preferences.xml");
    ASSERT_TRUE (preferences.replaceWithText (preferences.loadFileAsString().replace ("name=\"loggingEnabled\" val=\"1\"", "name=\"loggingEnabled\" val=\"0\"")));
    const auto logBefore = setup.getLog();
    juce::ChildProcess quiet;
    ASSERT_TRUE (quiet.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    const auto last = Driver::waitForWindowsTitled (title, 20000);
    ASSERT_EQ (last.size(), 1);
    juce::Thread::sleep (500);
    EXPECT_TRUE (Driver::findWindowsTitled ("Logging enabled").isEmpty());
    ASSERT_TRUE (Driver (last[0]).closeAndWait (quiet));
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
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (Driver::acceptAlert ("New version available")) << "the newer version was not offered, or the offer not taken";

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
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    const auto windows = Driver::waitForWindowsTitled ("TSY-Player 1.36", 20000);
    ASSERT_EQ (windows.size(), 1);
    ASSERT_TRUE (waitForFile (setup.getDataFolder().getChildFile ("cat1001en.xml"), 20000));

    // Without the server, and with no Italian catalog cached, the new language has no catalog.
    setup.provider.stop();

    // The tree's "Preferences" row (the fourth, 20 pixels each, under the 26-pixel title bar),
    // then the language combo (at 240, 45 in the panel, right of the 291 + 7 pixels of the left
    // panel), then "Italian", the first entry of its menu, just under the combo. A click that
    // comes before the menu is up lands on the panel, so it is repeated until the answer shows.
    const Driver window (windows[0]);
    window.click ({ 80, 26 + 70 });
    window.click ({ 298 + 240 + 100, 26 + 55 });

    for (int attempt = 0; attempt < 10 && Driver::findWindowsTitled ("Connection missing upon first launch").isEmpty(); ++attempt)
    {
        window.click ({ 298 + 240 + 100, 26 + 55 + 22 });
        Driver::waitForWindowsTitled ("Connection missing upon first launch", 1000);
    }

    ASSERT_TRUE (Driver::dismissAlert ("Connection missing upon first launch")) << "the language change did not reach the retrieval";
    const auto ended = player.waitForProcessToFinish (8000);

    if (! ended)
        player.kill();

    EXPECT_TRUE (ended) << "the program is still running after the failed language change";
    EXPECT_TRUE (setup.getLog().endsWith ("\r\nProgram terminated\r\n"));
}

TEST (Application, ATricklingCatalogAnswerLeavesTheCloseButtonWorking)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ScratchHome home;

    // Headers, then 20 bytes a second: never stalled, and far from done for minutes.
    FaultServer server;
    FaultServer::Reply trickle { juce::MemoryBlock (1000000, true) };
    trickle.pieceSize = 1;
    trickle.pauseMs = 50;
    server.answerWith (trickle);
    home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (server.getBaseUrl());
    rememberDemoUser (home.getUserDataFolder().getChildFile ("test"));

    juce::ChildProcess player;
    ASSERT_TRUE (player.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    const auto windows = Driver::waitForWindowsTitled ("TSY-Player 1.36", 20000);
    ASSERT_EQ (windows.size(), 1);
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (Driver::waitFor ([&] { return server.getRequestCount() > 0; }, 20000)) << "the catalog request was made";

    const auto closed = Driver (windows[0]).closeAndWait (player);

    if (! closed)
        player.kill();

    ASSERT_TRUE (closed) << "the window closes while the catalog trickles in";
    const auto log = home.getDesktop().getChildFile ("TSY-Player Log.txt").loadFileAsString();
    EXPECT_TRUE (log.contains ("start-up catalog retrieval cancelled by quit")) << log;
    EXPECT_TRUE (log.endsWith ("\r\nProgram terminated\r\n")) << log;
}
