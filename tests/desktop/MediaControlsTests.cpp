#include "desktop/MediaControls.h"
#include "tests/common/MessagePump.h"
#include "tests/desktop/PrivateBus.h"

#include <gtest/gtest.h>

namespace
{
constexpr const char* player = MediaControls::playerInterface;
constexpr const char* application = MediaControls::applicationInterface;

/** Keeps every call the controls hand over, with whether it came on the message thread. */
struct RecordingHost final : MediaControls::Host
{
    void record (const juce::String& call)
    {
        calls.add (call);
        allOnMessageThread = allOnMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
    }

    void raise() override { record ("raise"); }
    void quit() override { record ("quit"); }
    void play() override { record ("play"); }
    void pause() override { record ("pause"); }
    void playPause() override { record ("playPause"); }
    void stop() override { record ("stop"); }
    void next() override { record ("next"); }
    void previous() override { record ("previous"); }
    void seekBy (juce::int64 offset) override { record ("seekBy " + juce::String (offset)); }
    void setPosition (juce::int64 position) override { record ("setPosition " + juce::String (position)); }

    juce::StringArray calls;
    bool allOnMessageThread = true;
};

MediaControls::State makePausedChapter()
{
    MediaControls::State state;
    state.status = MediaControls::Status::paused;
    state.trackId = MediaControls::makeTrackId ("ch-1.2");
    state.title = "Il piano di lavoro";
    state.album = "Corso base";
    state.artUrl = "file:///tmp/cover.jpg";
    state.lengthMicroseconds = 90000000;
    state.positionMicroseconds = 5000000;
    state.canPlay = state.canPause = state.canSeek = true;
    state.canGoNext = true;
    return state;
}

juce::String stringOf (GVariant* value)
{
    if (value == nullptr)
        return "<none>";

    const auto text = g_variant_is_of_type (value, G_VARIANT_TYPE_STRING) ? juce::String::fromUTF8 (g_variant_get_string (value, nullptr)) : printVariant (value);
    g_variant_unref (value);
    return text;
}

juce::String metadataEntry (GVariant* metadata, const char* key)
{
    if (metadata == nullptr)
        return "<none>";

    auto* entry = g_variant_lookup_value (metadata, key, nullptr);
    const auto text = entry == nullptr ? juce::String ("<none>") : stringOf (entry);
    g_variant_unref (metadata);
    return text;
}

/** The private bus, the controls on it and a peer to talk to them. */
struct ControlsOnBus : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (daemon.getAddress().startsWith ("unix:")) << "dbus-daemon did not start";
        ASSERT_TRUE (bus.waitUntilSettled (20000));
        ASSERT_TRUE (peer.getConnection() != nullptr);

        // The name comes after the object, so once it is owned the object answers.
        ASSERT_TRUE (MessagePump::runUntil ([this]
                                    { return peer.getNameOwner (MediaControls::busName).isNotEmpty(); }));
    }

    bool callPlayer (const char* method, GVariant* parameters = nullptr)
    {
        auto* reply = peer.call (MediaControls::busName, MediaControls::objectPath, player, method, parameters);

        if (reply == nullptr)
            return false;

        g_variant_unref (reply);
        return true;
    }

    PrivateBus daemon;
    SessionBus bus { daemon.getAddress() };
    RecordingHost host;
    std::unique_ptr<MediaControls> controls = std::make_unique<MediaControls> (bus, host, "tsy-player");
    BusPeer peer { daemon.getAddress() };
};
} // namespace

TEST_F (ControlsOnBus, ApplicationPropertiesDescribeThePlayer)
{
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, application, "Identity")), "TSY-Player");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, application, "DesktopEntry")), "tsy-player");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, application, "CanQuit")), "true");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, application, "CanRaise")), "true");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, application, "HasTrackList")), "false");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "CanControl")), "true");
}

TEST_F (ControlsOnBus, NothingPlayingIsStoppedWithoutMetadata)
{
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "PlaybackStatus")), "Stopped");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "Metadata")), "@a{sv} {}");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "CanPlay")), "false");

    // Calls the state does not allow are answered and dropped.
    EXPECT_TRUE (callPlayer ("Play"));
    EXPECT_TRUE (callPlayer ("Next"));
    EXPECT_TRUE (callPlayer ("Raise") == false); // Raise lives on the application interface

    auto* reply = peer.call (MediaControls::busName, MediaControls::objectPath, application, "Raise", nullptr);
    ASSERT_NE (reply, nullptr);
    g_variant_unref (reply);
    ASSERT_TRUE (MessagePump::runUntil ([this]
                                { return host.calls.size() == 1; }));
    EXPECT_EQ (host.calls, juce::StringArray ("raise"));
}

TEST_F (ControlsOnBus, MetadataAndStatusFollowTheStatePushed)
{
    controls->setState (makePausedChapter());

    ASSERT_TRUE (MessagePump::runUntil ([this]
                                { return stringOf (peer.getProperty (MediaControls::busName, player, "PlaybackStatus")) == "Paused"; }));
    EXPECT_EQ (metadataEntry (peer.getProperty (MediaControls::busName, player, "Metadata"), "xesam:title"), "Il piano di lavoro");
    EXPECT_EQ (metadataEntry (peer.getProperty (MediaControls::busName, player, "Metadata"), "xesam:album"), "Corso base");
    EXPECT_EQ (metadataEntry (peer.getProperty (MediaControls::busName, player, "Metadata"), "mpris:artUrl"), "file:///tmp/cover.jpg");
    EXPECT_EQ (metadataEntry (peer.getProperty (MediaControls::busName, player, "Metadata"), "mpris:length"), "int64 90000000");
    EXPECT_EQ (metadataEntry (peer.getProperty (MediaControls::busName, player, "Metadata"), "mpris:trackid"),
               "objectpath '/org/tsyplayer/chapter/ch_2d1_2e2'");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "Position")), "int64 5000000");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "CanGoNext")), "true");
    EXPECT_EQ (stringOf (peer.getProperty (MediaControls::busName, player, "CanGoPrevious")), "false");

    // While playing, the position read moves on from the one pushed, without a new push.
    auto playing = makePausedChapter();
    playing.status = MediaControls::Status::playing;
    controls->setState (playing);
    ASSERT_TRUE (MessagePump::runUntil ([this]
                                { return stringOf (peer.getProperty (MediaControls::busName, player, "PlaybackStatus")) == "Playing"; }));
    ASSERT_TRUE (MessagePump::runUntil ([this]
                                {
                                    gint64 position = 0;
                                    auto* value = peer.getProperty (MediaControls::busName, player, "Position");
                                    g_variant_get (value, "x", &position);
                                    g_variant_unref (value);
                                    return position > 5000000 && position < 90000000; }));
}

TEST_F (ControlsOnBus, MethodsReachTheHostOnTheMessageThread)
{
    controls->setState (makePausedChapter());
    ASSERT_TRUE (MessagePump::runUntil ([this]
                                { return stringOf (peer.getProperty (MediaControls::busName, player, "CanPlay")) == "true"; }));

    // These calls block the message thread until answered: the answers never wait for it.
    for (auto* method : { "Play", "Pause", "PlayPause", "Stop", "Next" })
        ASSERT_TRUE (callPlayer (method)) << method;

    ASSERT_TRUE (callPlayer ("Previous")); // not allowed by the state: dropped
    ASSERT_TRUE (callPlayer ("Seek", g_variant_new ("(x)", (gint64) -3000000)));
    const auto track = MediaControls::makeTrackId ("ch-1.2");
    ASSERT_TRUE (callPlayer ("SetPosition", g_variant_new ("(ox)", track.toRawUTF8(), (gint64) 60000000)));
    ASSERT_TRUE (callPlayer ("SetPosition", g_variant_new ("(ox)", track.toRawUTF8(), (gint64) 99000000))); // past the end
    ASSERT_TRUE (callPlayer ("SetPosition", g_variant_new ("(ox)", "/org/tsyplayer/chapter/other", (gint64) 1000000))); // another track
    EXPECT_TRUE (host.calls.isEmpty()) << "a host call ran before the message thread was free";

    auto* reply = peer.call (MediaControls::busName, MediaControls::objectPath, application, "Quit", nullptr);
    ASSERT_NE (reply, nullptr);
    g_variant_unref (reply);

    const juce::StringArray expected { "play", "pause", "playPause", "stop", "next", "seekBy -3000000", "setPosition 60000000", "quit" };
    ASSERT_TRUE (MessagePump::runUntil ([this, &expected]
                                { return host.calls.size() >= expected.size(); }));
    EXPECT_EQ (host.calls, expected);
    EXPECT_TRUE (host.allOnMessageThread);
}

TEST_F (ControlsOnBus, ChangesAreSignalledAsTheyHappen)
{
    struct Signals
    {
        juce::CriticalSection lock;
        juce::StringArray received;
    } signals;

    guint subscription = 0;
    peer.runOnLoop ([&]
                    { subscription = g_dbus_connection_signal_subscribe (
                          peer.getConnection(), nullptr, nullptr, nullptr, MediaControls::objectPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GVariant* parameters, gpointer data)
                          {
                                auto& s = *static_cast<Signals*> (data);
                                const juce::ScopedLock sl (s.lock);
                                s.received.add (juce::String::fromUTF8 (name) + " " + printVariant (parameters)); },
                          &signals,
                          nullptr); });

    // The match rule is in place once a call made after it has been answered.
    ASSERT_NE (peer.getNameOwner (MediaControls::busName), "");

    const auto receivedContaining = [&signals] (const juce::String& text)
    {
        const juce::ScopedLock sl (signals.lock);
        return signals.received.joinIntoString ("\n").contains (text);
    };

    controls->setState (makePausedChapter());
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return receivedContaining ("'Il piano di lavoro'"); }));
    EXPECT_TRUE (receivedContaining ("'PlaybackStatus': <'Paused'>"));
    EXPECT_TRUE (receivedContaining ("'CanGoNext': <true>"));

    auto playing = makePausedChapter();
    playing.status = MediaControls::Status::playing;
    playing.positionMicroseconds = 6000000;
    controls->setState (playing);
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return receivedContaining ("'PlaybackStatus': <'Playing'>"); }));

    {
        // Only what changed: the metadata stayed the same.
        const juce::ScopedLock sl (signals.lock);
        EXPECT_FALSE (signals.received[signals.received.size() - 1].contains ("Metadata"));
    }

    controls->seeked (42000000);
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return receivedContaining ("Seeked (int64 42000000,)"); }));

    peer.runOnLoop ([&]
                    { g_dbus_connection_signal_unsubscribe (peer.getConnection(), subscription); });
}

TEST_F (ControlsOnBus, GoingTakesTheNameOffTheBusAndDropsPendingCalls)
{
    controls->setState (makePausedChapter());
    ASSERT_TRUE (MessagePump::runUntil ([this]
                                { return stringOf (peer.getProperty (MediaControls::busName, player, "CanPlay")) == "true"; }));

    // Answered on the bus thread, then handed to a message thread that is busy until the
    // controls are gone: the host must never hear of it.
    ASSERT_TRUE (callPlayer ("Play"));
    controls = nullptr;

    EXPECT_EQ (peer.getNameOwner (MediaControls::busName), "");
    juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
    EXPECT_TRUE (host.calls.isEmpty());
}

TEST (MediaControlsTrackId, EveryChapterIdGivesAValidDistinctObjectPath)
{
    const juce::StringArray ids { "abc", "a-b", "a_b", "a b", juce::String::fromUTF8 ("\xc3\xa0"), "", "../x", "A1" };
    juce::StringArray paths;

    for (const auto& id : ids)
    {
        const auto path = MediaControls::makeTrackId (id);
        EXPECT_TRUE (g_variant_is_object_path (path.toRawUTF8())) << path;
        paths.addIfNotAlreadyThere (path);
    }

    EXPECT_EQ (paths.size(), ids.size());
    EXPECT_EQ (MediaControls::makeTrackId ("a_b"), "/org/tsyplayer/chapter/a_5fb");
}
