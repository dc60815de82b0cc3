#include "tests/desktop/NotificationService.h"
#include "tests/player/Road.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <iostream>
#include <signal.h>
#include <sys/stat.h>

namespace
{
constexpr const char* playerName = "org.mpris.MediaPlayer2.tsyplayer";
constexpr const char* objectPath = "/org/mpris/MediaPlayer2";
constexpr const char* playerInterface = "org.mpris.MediaPlayer2.Player";
constexpr int stateWaitMs = 20000, downloadWaitMs = 60000;

const juce::File sampleLibrary (TSY_PROVIDER_SAMPLE_LIBRARY);

juce::File screenshotFolder (const juce::String& name)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (name);
}

/** No session bus address in the environment while it lives. */
struct NoBusAddress
{
    NoBusAddress()
    {
        if (const auto* address = std::getenv ("DBUS_SESSION_BUS_ADDRESS"))
            previousAddress = address;

        unsetenv ("DBUS_SESSION_BUS_ADDRESS");
    }

    ~NoBusAddress()
    {
        if (previousAddress.has_value())
            setenv ("DBUS_SESSION_BUS_ADDRESS", previousAddress->c_str(), 1);
    }

    std::optional<std::string> previousAddress;
};

/** A private session bus where the player looks for the user's own: the socket "bus" of the
    runtime folder, with no address in the environment.
*/
struct PlayerBus
{
    NoBusAddress noAddress;
    PrivateBus daemon { juce::File (juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {})).getChildFile ("bus") };
};

/** The player's properties and signals, seen by a peer on the bus. */
struct PlayerWatcher
{
    explicit PlayerWatcher (const juce::String& address) : peer (address)
    {
        peer.runOnLoop ([this]
                        { subscription = g_dbus_connection_signal_subscribe (
                              peer.getConnection(), nullptr, nullptr, nullptr, objectPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GVariant* parameters, gpointer data)
                              {
                                    auto& self = *static_cast<PlayerWatcher*> (data);
                                    const juce::ScopedLock sl (self.lock);
                                    self.signals.add (juce::String::fromUTF8 (name) + " " + printVariant (parameters)); },
                              this,
                              nullptr); });
    }

    ~PlayerWatcher()
    {
        peer.runOnLoop ([this]
                        { g_dbus_connection_signal_unsubscribe (peer.getConnection(), subscription); });
    }

    juce::String get (const char* name)
    {
        auto* value = peer.getProperty (playerName, playerInterface, name);

        if (value == nullptr)
            return "<none>";

        const auto text = printVariant (value);
        g_variant_unref (value);
        return text;
    }

    juce::int64 getPosition()
    {
        auto* value = peer.getProperty (playerName, playerInterface, "Position");

        if (value == nullptr)
            return -1;

        const auto position = (juce::int64) g_variant_get_int64 (value);
        g_variant_unref (value);
        return position;
    }

    bool call (const char* method, GVariant* parameters = nullptr)
    {
        auto* reply = peer.call (playerName, objectPath, playerInterface, method, parameters);

        if (reply != nullptr)
            g_variant_unref (reply);

        return reply != nullptr;
    }

    bool waitForSignal (const juce::String& text)
    {
        return DesktopDriver::waitFor ([&]
                                       {
            const juce::ScopedLock sl (lock);
            return signals.joinIntoString ("\n").contains (text); },
                                       stateWaitMs);
    }

    bool waitForProperty (const char* name, const juce::String& value)
    {
        return DesktopDriver::waitFor ([&]
                                       { return get (name) == value; },
                                       stateWaitMs);
    }

    BusPeer peer;
    guint subscription = 0;
    juce::CriticalSection lock;
    juce::StringArray signals;
};
} // namespace

TEST (PlayerOnBus, TheDesktopsMediaControlsDriveThePlayingChapter)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("player-on-bus"));
    PlayerBus bus;
    ASSERT_TRUE (bus.daemon.getAddress().isNotEmpty()) << "dbus-daemon did not start";
    NotificationService notifications (bus.daemon.getAddress());
    ASSERT_TRUE (notifications.ownName());
    PlayerWatcher watcher (bus.daemon.getAddress());

    ASSERT_EQ (road.walkToPlaying(), "") << road.getLog();
    ASSERT_TRUE (road.getLog().contains ("desktop bus: media controls as org.mpris.MediaPlayer2.tsyplayer")) << road.getLog();

    // The chapter the window plays, as the desktop shows it.
    ASSERT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Playing'")) << watcher.get ("PlaybackStatus");
    const auto metadata = watcher.get ("Metadata");
    EXPECT_TRUE (metadata.contains ("'xesam:title': <'Welcome to the course'>")) << metadata;
    EXPECT_TRUE (metadata.contains ("'xesam:album': <'3D Modelling Fundamentals'>")) << metadata;
    EXPECT_TRUE (metadata.contains ("'mpris:trackid': <objectpath '/org/tsyplayer/chapter/MOD3D_2dEN_2d0101'>")) << metadata;
    EXPECT_TRUE (metadata.contains ("'mpris:length': <int64 ")) << metadata;
    EXPECT_EQ (watcher.get ("CanGoNext"), "true");

    // The one download ended with the window in front: no notification.
    EXPECT_TRUE (notifications.getNotifications().isEmpty()) << notifications.getNotifications().joinIntoString ("\n");

    ASSERT_TRUE (watcher.call ("Pause"));
    EXPECT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Paused'"));
    EXPECT_TRUE (watcher.waitForSignal ("'PlaybackStatus': <'Paused'>"));

    ASSERT_TRUE (watcher.call ("PlayPause"));
    EXPECT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Playing'"));
    EXPECT_TRUE (watcher.waitForSignal ("'PlaybackStatus': <'Playing'>"));

    ASSERT_TRUE (watcher.call ("PlayPause"));
    EXPECT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Paused'"));

    ASSERT_TRUE (watcher.call ("Play"));
    EXPECT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Playing'"));
    ASSERT_TRUE (watcher.call ("Pause"));
    ASSERT_TRUE (watcher.waitForProperty ("PlaybackStatus", "'Paused'"));

    // Paused, the position stays where it is put.
    const auto near = [&] (juce::int64 target)
    {
        return DesktopDriver::waitFor ([&]
                                       { return std::abs (watcher.getPosition() - target) < 300000; },
                                       stateWaitMs);
    };

    ASSERT_TRUE (watcher.call ("SetPosition", g_variant_new ("(ox)", "/org/tsyplayer/chapter/MOD3D_2dEN_2d0101", (gint64) 3000000)));
    EXPECT_TRUE (near (3000000)) << watcher.getPosition();
    EXPECT_TRUE (watcher.waitForSignal ("Seeked (int64 3")) << watcher.signals.joinIntoString ("\n");

    ASSERT_TRUE (watcher.call ("Seek", g_variant_new ("(x)", (gint64) -2000000)));
    EXPECT_TRUE (near (1000000)) << watcher.getPosition();
    EXPECT_TRUE (watcher.waitForSignal ("Seeked (int64 1")) << watcher.signals.joinIntoString ("\n");

    // What a desktop's own tools see of it.
    const auto introspected = DesktopDriver::run ({ "env", "DBUS_SESSION_BUS_ADDRESS=" + bus.daemon.getAddress(), "gdbus", "introspect", "--session", "--dest", playerName, "--object-path", objectPath });
    std::cout << introspected << std::endl;
    EXPECT_TRUE (introspected.contains ("readonly s Identity = 'TSY-Player';")) << introspected;
    EXPECT_TRUE (introspected.contains ("readonly s PlaybackStatus = 'Paused';")) << introspected;
    EXPECT_TRUE (introspected.contains ("'xesam:title': <'Welcome to the course'>")) << introspected;
}

namespace
{
/** Queues the first lesson by its icon while the provider is held up, turns the keyboard to the
    screen's root (as when another program is in front), lets the provider go on and waits for
    the queue's end: "" when the notifications came, else what went wrong.
*/
juce::String queueLessonBehindAnotherWindow (Road& road, const NotificationService& notifications)
{
    if (auto problem = road.walkToOpenLesson(); problem.isNotEmpty())
        return problem;

    // Held up, the provider keeps the queue from ending before the user has turned away.
    const auto provider = road.getProviderPid();

    if (provider <= 0 || ::kill (provider, SIGSTOP) != 0)
        return "the provider could not be held up";

    const auto queued = road.queueFirstLesson();
    const auto rootWindow = DesktopDriver::run ({ "xwininfo", "-root" }).fromFirstOccurrenceOf ("Window id: ", false, false).upToFirstOccurrenceOf (" ", false, false);
    DesktopDriver::run ({ "xdotool", "windowfocus", rootWindow });
    const auto turnedAway = DesktopDriver::waitFor ([&]
                                                    { return ! road.getWindow().hasKeyboardFocus(); },
                                                    stateWaitMs);
    ::kill (provider, SIGCONT);

    if (queued.isNotEmpty())
        return queued;

    if (! turnedAway)
        return "the player's window kept the keyboard";

    if (! DesktopDriver::waitFor ([&]
                                  { return ! notifications.getNotifications().isEmpty(); },
                                  downloadWaitMs))
        return "no notification came: " + road.getLog();

    return {};
}

/** Flips one byte of a file and gives it back its modification time, so that the provider,
    which knows files by size and time, keeps announcing the old checksum.
*/
bool corruptKeepingTime (const juce::File& file)
{
    struct stat before
    {
    };
    juce::MemoryBlock bytes;

    if (::stat (file.getFullPathName().toRawUTF8(), &before) != 0 || ! file.loadFileAsData (bytes) || bytes.getSize() < 100)
        return false;

    bytes[bytes.getSize() / 2] = (char) ~bytes[bytes.getSize() / 2];

    if (! file.replaceWithData (bytes.getData(), bytes.getSize()))
        return false;

    const timespec times[] = { before.st_atim, before.st_mtim };
    return ::utimensat (AT_FDCWD, file.getFullPathName().toRawUTF8(), times, 0) == 0;
}
} // namespace

TEST (PlayerOnBus, DownloadsEndingBehindAnotherWindowAreNotifiedAndAClickAsksForTheWindow)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("player-notified"));
    PlayerBus bus;
    ASSERT_TRUE (bus.daemon.getAddress().isNotEmpty()) << "dbus-daemon did not start";
    NotificationService notifications (bus.daemon.getAddress());
    ASSERT_TRUE (notifications.ownName());

    ASSERT_EQ (queueLessonBehindAnotherWindow (road, notifications), "");
    const auto shown = notifications.getNotifications();
    ASSERT_EQ (shown.size(), 1) << shown.joinIntoString ("\n");
    EXPECT_TRUE (shown[0].startsWith ("('TSY-Player', uint32 0, 'tsy-player', '3 chapters downloaded', '',")) << shown[0];

    // A click on it asks for the window in front. Here, without a window manager to grant that,
    // the request is all there is to see; another program's click is not the player's.
    notifications.invokeAction (3, "default");
    notifications.invokeAction (7, "default");
    const auto raised = DesktopDriver::waitFor ([&]
                                                { return road.getLog().contains ("desktop bus: notification clicked, raising the window"); },
                                                stateWaitMs);
    EXPECT_TRUE (raised) << road.getLog();
    EXPECT_EQ (road.getLog().indexOf ("desktop bus: notification clicked"), road.getLog().lastIndexOf ("desktop bus: notification clicked"));
    EXPECT_TRUE (road.getLog().contains ("desktop bus: downloads ended (3 chapters downloaded), notified")) << road.getLog();
}

TEST (PlayerOnBus, AFailedDownloadIsNotifiedByTheChaptersTitleAndWhy)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("player-notified-failure"));
    ASSERT_TRUE (road.startProvider());
    ASSERT_TRUE (corruptKeepingTime (road.getLibrary().getChildFile ("videos/MOD3D-EN-0102.mp4")));
    PlayerBus bus;
    ASSERT_TRUE (bus.daemon.getAddress().isNotEmpty()) << "dbus-daemon did not start";
    NotificationService notifications (bus.daemon.getAddress());
    ASSERT_TRUE (notifications.ownName());

    // Named as the download list names it, with its course and lesson.
    ASSERT_EQ (queueLessonBehindAnotherWindow (road, notifications), "");
    const auto shown = notifications.getNotifications();
    ASSERT_EQ (shown.size(), 1) << shown.joinIntoString ("\n");
    EXPECT_TRUE (shown[0].startsWith ("('TSY-Player', uint32 0, 'tsy-player', '3D Modelling Fundamentals, Interface and navigation, 1.2 - Viewports and navigation', "
                                      "'The downloaded video is damaged (checksum mismatch)\\n2 chapters downloaded',"))
        << shown[0];
}

TEST (PlayerOnBus, WithoutASessionBusThePlayerRunsAsBeforeAndItsLogSaysSoOnce)
{
    ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("player-without-bus"));
    const NoBusAddress noBus;

    ASSERT_EQ (road.walkToOpenLesson(), "") << road.getLog();
    const auto log = road.getLog();
    EXPECT_EQ (log.indexOf ("desktop bus:"), log.lastIndexOf ("desktop bus:")) << log;
    EXPECT_TRUE (log.contains ("desktop bus: no session bus (none found)")) << log;
}
