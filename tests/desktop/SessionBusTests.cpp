#include "desktop/DesktopNotifier.h"
#include "desktop/MediaControls.h"
#include "tests/desktop/PrivateBus.h"

#include <gtest/gtest.h>

namespace
{
struct IdleHost final : MediaControls::Host, DesktopNotifier::Host
{
    void raise() override { ++calls; }
    void quit() override { ++calls; }
    void play() override { ++calls; }
    void pause() override { ++calls; }
    void playPause() override { ++calls; }
    void stop() override { ++calls; }
    void next() override { ++calls; }
    void previous() override { ++calls; }
    void seekBy (juce::int64) override { ++calls; }
    void setPosition (juce::int64) override { ++calls; }
    void notificationClicked() override { ++calls; }

    int calls = 0;
};

/** Sets an environment variable for one test and puts the old value back. */
struct ScopedEnvironment
{
    ScopedEnvironment (const char* variableName, const char* value) : name (variableName)
    {
        if (const auto* old = getenv (name))
            previous = juce::String (old);

        if (value != nullptr)
            setenv (name, value, 1);
        else
            unsetenv (name);
    }

    ~ScopedEnvironment()
    {
        if (previous.has_value())
            setenv (name, previous->toRawUTF8(), 1);
        else
            unsetenv (name);
    }

    const char* name;
    std::optional<juce::String> previous;
};
} // namespace

TEST (SessionBus, WithoutABusThePlayerGoesOnAndTheLogSaysSoOnce)
{
    CapturedLog log;
    IdleHost host;
    {
        SessionBus bus ({});
        MediaControls controls (bus, host, "tsy-player");
        DesktopNotifier notifier (bus, host, "TSY-Player", "tsy-player");
        EXPECT_FALSE (bus.waitUntilSettled (20000));

        MediaControls::State state;
        state.status = MediaControls::Status::playing;
        state.trackId = MediaControls::makeTrackId ("c1");
        controls.setState (state);
        controls.seeked (1);
        notifier.show ("3 chapters downloaded", {});

        // Every task was given no connection and returned; the queue is still served.
        bool ran = false;
        bus.postAndWait ([&ran] (SessionBus::Connection* connection)
                         { ran = connection == nullptr; });
        EXPECT_TRUE (ran);
    }

    EXPECT_EQ (log.linesStartingWith ("desktop bus").size(), 1);
    EXPECT_EQ (log.linesStartingWith (SessionBus::noBusLogPrefix).size(), 1);
    EXPECT_EQ (host.calls, 0);
}

TEST (SessionBus, ABusThatIsNotThereIsNoBusEither)
{
    CapturedLog log;
    const auto missing = juce::File::createTempFile ("no-bus");
    SessionBus bus ("unix:path=" + missing.getFullPathName());

    EXPECT_FALSE (bus.waitUntilSettled (20000));
    bus.postAndWait ([] (SessionBus::Connection* connection)
                     { EXPECT_EQ (connection, nullptr); });
    const auto lines = log.linesStartingWith (SessionBus::noBusLogPrefix);
    ASSERT_EQ (lines.size(), 1);
    EXPECT_TRUE (lines[0].contains (missing.getFileName())) << lines[0];
}

TEST (SessionBus, TasksPostedWhileConnectingRunInOrderOnceConnected)
{
    PrivateBus daemon;
    ASSERT_TRUE (daemon.getAddress().isNotEmpty());

    juce::StringArray order;
    juce::CriticalSection lock;
    SessionBus bus (daemon.getAddress());

    for (int i = 0; i < 20; ++i)
        bus.post ([i, &order, &lock, &bus] (SessionBus::Connection* connection)
                  {
                      const juce::ScopedLock sl (lock);
                      order.add (juce::String (i) + (connection != nullptr && bus.isBusThread() ? "" : "!")); });

    bus.postAndWait ([] (SessionBus::Connection*) {});
    EXPECT_TRUE (bus.waitUntilSettled (0));
    const juce::ScopedLock sl (lock);
    ASSERT_EQ (order.size(), 20);

    for (int i = 0; i < 20; ++i)
        EXPECT_EQ (order[i], juce::String (i));
}

TEST (SessionBus, GoesAwayAtOnceWhileStillConnecting)
{
    // Many buses made and dropped at once: some go while their connection is still being made.
    PrivateBus daemon;
    ASSERT_TRUE (daemon.getAddress().isNotEmpty());

    for (int i = 0; i < 20; ++i)
    {
        int ran = 0;
        {
            SessionBus bus (daemon.getAddress());
            bus.post ([&ran] (SessionBus::Connection*)
                      { ++ran; });
        }
        EXPECT_EQ (ran, 1);
    }
}

TEST (SessionBus, FindsTheSessionAddressWithoutStartingABus)
{
    const ScopedEnvironment runtime ("XDG_RUNTIME_DIR", nullptr);
    {
        const ScopedEnvironment address ("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
        EXPECT_EQ (SessionBus::findSessionAddress(), "unix:path=/run/user/1000/bus");
    }

    const ScopedEnvironment address ("DBUS_SESSION_BUS_ADDRESS", nullptr);
    EXPECT_EQ (SessionBus::findSessionAddress(), "");

    const auto folder = juce::File::createTempFile ("runtime dir");
    ASSERT_TRUE (folder.createDirectory());
    const ScopedEnvironment withRuntime ("XDG_RUNTIME_DIR", folder.getFullPathName().toRawUTF8());
    EXPECT_EQ (SessionBus::findSessionAddress(), "");

    // A plain file of that name is no bus; the daemon's socket is.
    ASSERT_TRUE (folder.getChildFile ("bus").create());
    EXPECT_EQ (SessionBus::findSessionAddress(), "");
    ASSERT_TRUE (folder.getChildFile ("bus").deleteFile());

    {
        PrivateBus daemon (folder.getChildFile ("bus"));
        ASSERT_TRUE (daemon.getAddress().isNotEmpty());
        const auto found = SessionBus::findSessionAddress();
        EXPECT_TRUE (found.startsWith ("unix:path=/")) << found;
        EXPECT_FALSE (found.contains (" ")) << "the space must be escaped: " << found;

        SessionBus bus (found);
        EXPECT_TRUE (bus.waitUntilSettled (20000)) << found;
    }

    folder.deleteRecursively();
}
