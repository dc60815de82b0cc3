#include "player/MyApplication.h"
#include "tests/common/ScratchHome.h"
#include "tests/downloads/FaultServer.h"
#include "tests/player/DesktopDriver.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>


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

/** The player in a process of its own, ended with the test: a test that stops half way must
    not leave it holding the single-instance lock against the next one.
*/
struct PlayerProcess final : juce::ChildProcess
{
    PlayerProcess() = default;

    ~PlayerProcess()
    {
        if (isRunning())
            kill();
    }

    JUCE_DECLARE_NON_COPYABLE (PlayerProcess)
};

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
    PlayerProcess player;
    ASSERT_TRUE (player.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (Driver::dismissAlert (boxTitle)) << boxTitle << " was never shown";

    const auto ended = player.waitForProcessToFinish (30000);

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

/** A user account of its own for the length of a test, with a home folder in /tmp; made with
    useradd, so only root can have one.
*/
struct ScratchUser final
{
    ScratchUser()
    {
        home.createDirectory();
        const auto made = DesktopDriver::run ({ "useradd", "--no-create-home", "--home-dir", home.getFullPathName(), "--shell", "/usr/sbin/nologin", name });
        const auto* entry = getpwnam (name.toRawUTF8());

        if (entry != nullptr)
        {
            uid = entry->pw_uid;
            gid = entry->pw_gid;
        }
    }

    ~ScratchUser()
    {
        if (uid != 0)
            DesktopDriver::run ({ "userdel", name });

        home.deleteRecursively();
    }

    bool exists() const { return uid != 0; }

    /** Gives the account everything in its home folder. */
    void ownHome() const { DesktopDriver::run ({ "chown", "-R", juce::String (uid) + ":" + juce::String (gid), home.getFullPathName() }); }

    /** The command that runs a program as this user with nothing of the caller's environment but
        the display.
    */
    juce::StringArray command (const juce::StringArray& program) const
    {
        juce::StringArray line { "setpriv", "--reuid=" + juce::String (uid), "--regid=" + juce::String (gid), "--clear-groups", "env", "-i",
                                 "HOME=" + home.getFullPathName(), "PATH=/usr/bin:/bin",
                                 "XDG_DATA_HOME=" + home.getChildFile (".local/share").getFullPathName(),
                                 "XDG_RUNTIME_DIR=" + home.getChildFile ("run").getFullPathName(),
                                 "DISPLAY=" + juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}) };

        if (const auto authority = juce::SystemStats::getEnvironmentVariable ("XAUTHORITY", {}); authority.isNotEmpty())
            line.add ("XAUTHORITY=" + home.getChildFile (".Xauthority").getFullPathName());

        line.addArray (program);
        return line;
    }

    const juce::String name = "tsy-scratch-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt()).substring (0, 6);
    const juce::File home = juce::File ("/tmp").getNonexistentChildFile (name, {}, false);
    uid_t uid = 0;
    gid_t gid = 0;
};

/** Whether every folder above a file lets other users through, so another account can start it. */
bool isReachableByOthers (const juce::File& file)
{
    for (auto folder = file.getParentDirectory(); ! folder.isRoot(); folder = folder.getParentDirectory())
    {
        struct stat info
        {
        };

        if (stat (folder.getFullPathName().toRawUTF8(), &info) != 0 || (info.st_mode & S_IXOTH) == 0)
            return false;
    }

    return true;
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
    PlayerProcess first;
    ASSERT_TRUE (first.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));

    const auto windows = Driver::waitForWindowsTitled (title, 30000);
    ASSERT_EQ (windows.size(), 1) << "the first instance shows one window";
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));
    ASSERT_TRUE (waitForFile (setup.getDataFolder().getChildFile ("cat1001en.xml"), 20000)) << "the user's catalog was fetched and cached";

    PlayerProcess second;
    ASSERT_TRUE (second.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (second.waitForProcessToFinish (15000)) << "a second start ends by itself";
    EXPECT_EQ (second.getExitCode(), 0u);
    EXPECT_EQ (Driver::findWindowsTitled (title).size(), 1) << "and leaves one window";
    EXPECT_TRUE (first.isRunning());
    EXPECT_TRUE (Driver::waitFor ([&] { return setup.getLog().contains ("another start: brought to the front"); }, 10000)) << "the first heard of it";

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
    PlayerProcess offline;
    ASSERT_TRUE (offline.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    const auto again = Driver::waitForWindowsTitled (title, 30000);
    ASSERT_EQ (again.size(), 1);
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));

    EXPECT_TRUE (Driver::waitFor ([&] { return setup.getLog().contains ("cached user catalog retrieval result: 0"); }, 10000));
    ASSERT_TRUE (Driver (again[0]).closeAndWait (offline));

    // With logging switched off, a run leaves the log file alone.
    const auto preferences = setup.getDataFolder().getChildFile ("preferences.xml");
    ASSERT_TRUE (preferences.replaceWithText (preferences.loadFileAsString().replace ("name=\"loggingEnabled\" val=\"1\"", "name=\"loggingEnabled\" val=\"0\"")));
    const auto logBefore = setup.getLog();
    PlayerProcess quiet;
    ASSERT_TRUE (quiet.start (juce::StringArray { TSY_PLAYER_PATH }, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    const auto last = Driver::waitForWindowsTitled (title, 30000);
    ASSERT_EQ (last.size(), 1);
    // The box would come before the catalog is read, and hold back the tree's courses: the
    // first one's title (the tenth row of 20 pixels under the 26-pixel title bar) shows once
    // that point has passed.
    const Driver quietWindow (last[0]);
    const auto showsCourse = [&] {
        const auto row = quietWindow.grab ({ 40, 26 + 9 * 20 + 3, 200, 16 });

        for (int y = 0; y < row.getHeight(); ++y)
            for (int x = 0; x < row.getWidth(); ++x)
                if (row.getPixelAt (x, y).getBrightness() < 0.5f)
                    return true;

        return false;
    };
    ASSERT_TRUE (Driver::waitFor (showsCourse, 30000)) << "the quiet run never showed the cached catalog";
    EXPECT_TRUE (Driver::findWindowsTitled ("Logging enabled").isEmpty());
    ASSERT_TRUE (quietWindow.closeAndWait (quiet));
    EXPECT_EQ (setup.getLog(), logBefore);
    const auto quietOutput = quiet.readAllProcessOutput();
    EXPECT_FALSE (quietOutput.contains ("Program started") || quietOutput.contains ("received:")) << "nothing is logged anywhere: " << quietOutput;
}

TEST (Application, AnotherUsersPlayerNeitherBlocksNorIsBlocked)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";

    if (getuid() != 0)
        GTEST_SKIP() << "a second user account can only be made as root";

    if (! isReachableByOthers (juce::File (TSY_PLAYER_PATH)))
        GTEST_SKIP() << "the build folder is closed to other users";

    PlayerAgainstProvider setup;
    ASSERT_TRUE (setup.provider.isRunning()) << setup.provider.readErrors();
    const ScratchUser other;
    ASSERT_TRUE (other.exists()) << "useradd failed";

    // The other account's home: the same provider, the same remembered user, its own session.
    other.home.getChildFile ("tsy-testurl.txt").replaceWithText (setup.provider.getOrigin() + "/");
    rememberDemoUser (other.home.getChildFile (".local/share/Tessaly/TSY-Player/test"));
    other.home.getChildFile ("run").createDirectory();

    if (const auto authority = juce::SystemStats::getEnvironmentVariable ("XAUTHORITY", {}); authority.isNotEmpty())
        juce::File (authority).copyFileTo (other.home.getChildFile (".Xauthority"));

    other.ownHome();
    chmod (other.home.getChildFile ("run").getFullPathName().toRawUTF8(), 0700);

    const juce::String title ("TSY-Player 1.36");
    juce::ChildProcess theirs;
    ASSERT_TRUE (theirs.start (other.command ({ TSY_PLAYER_PATH }), 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_EQ (Driver::waitForWindowsTitled (title, 20000).size(), 1) << "the other user's player runs";
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));

    // This user's player starts beside it: the other's lock is in the other's own folder.
    juce::ChildProcess ours;
    ASSERT_TRUE (ours.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    EXPECT_TRUE (Driver::waitFor ([&] { return Driver::findWindowsTitled (title).size() == 2; }, 20000)) << "both players show their window";
    EXPECT_TRUE (Driver::dismissAlert ("Logging enabled"));
    EXPECT_TRUE (theirs.isRunning());
    EXPECT_TRUE (ours.isRunning());

    struct stat lock
    {
    };

    const auto theirLock = other.home.getChildFile ("run").getChildFile ("tsy-player-" + juce::String (other.uid)).getChildFile ("instance.lock");
    ASSERT_EQ (stat (theirLock.getFullPathName().toRawUTF8(), &lock), 0) << theirLock.getFullPathName();
    EXPECT_EQ (lock.st_uid, other.uid) << "their lock is theirs";

    // Each user's second start still hands over to that user's own player.
    juce::ChildProcess theirSecond;
    ASSERT_TRUE (theirSecond.start (other.command ({ TSY_PLAYER_PATH }), juce::ChildProcess::wantStdOut));
    const auto printed = theirSecond.readAllProcessOutput();
    EXPECT_TRUE (theirSecond.waitForProcessToFinish (15000));
    EXPECT_TRUE (printed.contains ("already running: brought to the front")) << printed;
    EXPECT_EQ (Driver::findWindowsTitled (title).size(), 2);

    ours.kill();
    theirs.kill();
    ours.waitForProcessToFinish (5000);
    theirs.waitForProcessToFinish (5000);
}

TEST (Application, PlayersOfTwoSessionsRunSideBySide)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const juce::String title ("TSY-Player 1.36");
    PlayerAgainstProvider firstSession;
    ASSERT_TRUE (firstSession.provider.isRunning()) << firstSession.provider.readErrors();
    juce::ChildProcess first;
    ASSERT_TRUE (first.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    ASSERT_EQ (Driver::waitForWindowsTitled (title, 20000).size(), 1);
    ASSERT_TRUE (Driver::dismissAlert ("Logging enabled"));

    // Another home and runtime folder: another session, whose player has a lock of its own.
    PlayerAgainstProvider secondSession;
    juce::ChildProcess second;
    ASSERT_TRUE (second.start (juce::StringArray { TSY_PLAYER_PATH }, 0));
    ASSERT_TRUE (Driver::dismissAlert ("Test site"));
    EXPECT_TRUE (Driver::waitFor ([&] { return Driver::findWindowsTitled (title).size() == 2; }, 20000)) << "both sessions show their player";
    EXPECT_TRUE (Driver::dismissAlert ("Logging enabled"));
    EXPECT_TRUE (first.isRunning());
    EXPECT_TRUE (second.isRunning());

    second.kill();
    first.kill();
    second.waitForProcessToFinish (5000);
    first.waitForProcessToFinish (5000);
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
    PlayerProcess player;
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

    PlayerProcess player;
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
    // Each click waits for what the one before opened to be painted.
    const Driver window (windows[0]);
    const juce::Rectangle<int> comboArea (298 + 240, 26 + 45, 200, 20), menuArea (298 + 240, 26 + 55 + 12, 200, 20);
    const auto panelBefore = window.grab (comboArea);
    window.click ({ 80, 26 + 70 });
    ASSERT_TRUE (window.waitForChange (comboArea, panelBefore, 20000)) << "gave up waiting for the preferences panel to show";
    const auto menuBefore = window.grab (menuArea);
    window.click ({ 298 + 240 + 100, 26 + 55 });
    ASSERT_TRUE (window.waitForChange (menuArea, menuBefore, 20000)) << "gave up waiting for the language menu to open";
    window.click ({ 298 + 240 + 100, 26 + 55 + 22 });

    ASSERT_TRUE (Driver::dismissAlert ("Connection missing upon first launch")) << "the language change did not reach the retrieval";
    const auto ended = player.waitForProcessToFinish (30000);

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

namespace
{
/** The first chapter of the sample library, as the tree shows it to the demo user. */
const juce::String firstChapterId ("MOD3D-EN-0101");
const juce::String firstChapterTitle ("3D Modelling Fundamentals, 1.1 - Welcome to the course");

/** Where watching the chapter stopped, as its state file says; -1 without a file. */
double savedPosition (const juce::File& stateFile)
{
    const auto state = juce::parseXML (stateFile);
    return state != nullptr ? state->getDoubleAttribute ("position", 0.0) : -1.0;
}

/** Starts the player, opens the first course and lesson in the tree and selects the first
    chapter, which opens paused; then clicks the picture so the playback keys reach it.
*/
juce::String openFirstChapter (PlayerProcess& player, std::unique_ptr<Driver>& window)
{
    if (! player.start (juce::StringArray { TSY_PLAYER_PATH }, 0) || ! Driver::dismissAlert ("Test site"))
        return "the program did not start";

    const auto windows = Driver::waitForWindowsTitled ("TSY-Player 1.36", 30000);

    if (windows.size() != 1)
        return "no main window";

    window = std::make_unique<Driver> (windows[0]);

    if (! window->waitUntilPlaced (20000) || ! Driver::dismissAlert ("Logging enabled"))
        return "the window was not placed, or no logging notice";

    // The tree's rows are 20 pixels under a 26-pixel title bar; the first course is the tenth.
    const auto rowAt = [] (int y) { return juce::Rectangle<int> (24, y - 9, 260, 18); };
    const juce::Point<int> courseMark { 12, 209 }, lessonMark { 36, 229 }, chapterLabel { 150, 249 };

    if (! window->waitUntilSettled (rowAt (courseMark.y).getUnion (rowAt (chapterLabel.y)), 20000))
        return "the tree never settled";

    const auto openRow = [&] (juce::Point<int> mark, juce::Rectangle<int> rowBelow) {
        const auto before = window->grab (rowBelow);

        for (int attempt = 0; attempt < 3; ++attempt)
        {
            window->click (mark);

            if (window->waitForChange (rowBelow, before, 7000))
                return true;
        }

        return false;
    };

    if (! openRow (courseMark, rowAt (lessonMark.y)) || ! openRow (lessonMark, rowAt (chapterLabel.y)))
        return "the first course and lesson did not open";

    window->click (chapterLabel);

    if (! Driver::waitFor ([&] { return Driver::run ({ "xdotool", "getwindowname", window->getWindowId() }) == firstChapterTitle; }, 20000))
        return "the chapter did not open";

    const auto size = window->getBounds();
    window->click ({ size.getWidth() - 250, size.getHeight() / 2 - 40 });
    return {};
}

/** Plays with "k" until the time label moves on, then pauses with "k" again. */
bool playAWhileAndPause (const Driver& window)
{
    const auto size = window.getBounds();
    const juce::Rectangle<int> timeLabel (size.getWidth() - 204, size.getHeight() - 55 + 17, 80, 20);

    // The label first shows the chapter loaded and the seek before this done.
    if (! window.waitUntilSettled (timeLabel, 20000))
        return false;

    // A key that a loaded display delivers while the chapter is still being opened can be taken
    // by the opening: "k" is pressed again only when nothing moved for a good while.
    const auto before = window.grab (timeLabel);

    for (int attempt = 0; attempt < 3; ++attempt)
    {
        window.pressKeys ("k");

        if (window.waitForChange (timeLabel, before, 10000))
        {
            window.pressKeys ("k");
            return true;
        }
    }

    return false;
}
} // namespace

TEST (Application, AChapterResumesAcrossAQuitAndARestartAtTheChosenSpeed)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    PlayerAgainstProvider setup;
    ASSERT_TRUE (setup.provider.isRunning()) << setup.provider.readErrors();

    // A downloaded chapter five minutes long that was watched to its first half-minute; long
    // enough that a pause which comes late on a loaded machine still stops well before the end.
    const auto folder = setup.getDataFolder().getChildFile ("users/1001").getChildFile (firstChapterId);
    ASSERT_TRUE (folder.createDirectory());
    juce::ChildProcess ffmpeg;
    ASSERT_TRUE (ffmpeg.start (juce::StringArray { "ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=4:duration=300",
                                                   "-f", "lavfi", "-i", "sine=duration=300", "-c:v", "mpeg4", "-c:a", "aac", "-shortest", "-f", "mp4",
                                                   folder.getChildFile (firstChapterId + ".bin").getFullPathName() }));
    ASSERT_TRUE (ffmpeg.waitForProcessToFinish (60000) && ffmpeg.getExitCode() == 0);
    const auto stateFile = folder.getChildFile (firstChapterId + ".xml");
    ASSERT_TRUE (stateFile.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>
<local timestamp="4102444800000" yetToBeSeen="0" favorite="0" position="30"/>)"));

    {
        PlayerProcess player;
        std::unique_ptr<Driver> window;
        const auto problem = openFirstChapter (player, window);
        ASSERT_TRUE (problem.isEmpty()) << problem;

        // Opened at 30 s; Right goes 5 s on; playing and pausing saves where it stopped.
        window->pressKeys ("Right");
        ASSERT_TRUE (playAWhileAndPause (*window)) << "the time label never moved";
        ASSERT_TRUE (Driver::waitFor ([&] { return savedPosition (stateFile) >= 35.0; }, 20000))
            << "the pause saved " << savedPosition (stateFile) << ": " << stateFile.loadFileAsString();
        EXPECT_LT (savedPosition (stateFile), 150.0) << "it started where watching stopped, not past it";

        window->pressKeys ("bracketright");
        window->pressKeys ("bracketright");
        ASSERT_TRUE (window->closeAndWait (player));
    }

    const auto afterFirstRun = savedPosition (stateFile);
    EXPECT_GE (afterFirstRun, 35.0);
    const auto preferences = juce::parseXML (setup.getDataFolder().getChildFile ("preferences.xml"));
    ASSERT_NE (preferences, nullptr);
    juce::String speed;

    for (auto* value : preferences->getChildWithTagNameIterator ("VALUE"))
        if (value->getStringAttribute ("name") == "playbackSpeed")
            speed = value->getStringAttribute ("val");

    EXPECT_EQ (speed, "1.5");

    // The next run opens the chapter where the last one left it.
    PlayerProcess player;
    std::unique_ptr<Driver> window;
    const auto problem = openFirstChapter (player, window);
    ASSERT_TRUE (problem.isEmpty()) << problem;
    window->pressKeys ("Right");
    ASSERT_TRUE (playAWhileAndPause (*window)) << "the time label never moved";
    ASSERT_TRUE (Driver::waitFor ([&] { return savedPosition (stateFile) >= afterFirstRun + 5.0; }, 20000))
        << "after the restart it saved " << savedPosition (stateFile) << " against " << afterFirstRun;
    EXPECT_LT (savedPosition (stateFile), afterFirstRun + 120.0) << "and not past it";
    DesktopDriver::keepScreen ("resumed-chapter");
    ASSERT_TRUE (window->closeAndWait (player));
}
