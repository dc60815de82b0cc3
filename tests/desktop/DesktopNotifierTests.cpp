#include "desktop/DesktopNotifier.h"
#include "tests/common/MessagePump.h"
#include "tests/desktop/NotificationService.h"

#include <gtest/gtest.h>

namespace
{
struct CountingHost final : DesktopNotifier::Host
{
    void notificationClicked() override
    {
        ++clicks;
        onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread();
    }

    int clicks = 0;
    bool onMessageThread = false;
};

/** Counts the ActionInvoked signals the player's own connection has handled. Subscribed after
    the notifier, its handler runs after the notifier's for the same signal.
*/
struct ActionsHandled
{
    explicit ActionsHandled (SessionBus& busToWatch) : bus (busToWatch)
    {
        bus.postAndWait ([this] (SessionBus::Connection* connection)
                         { subscription = g_dbus_connection_signal_subscribe (
                               connection, nullptr, DesktopNotifier::serviceName, "ActionInvoked", DesktopNotifier::servicePath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer data)
                               { ++static_cast<ActionsHandled*> (data)->count; },
                               this,
                               nullptr); });
    }

    ~ActionsHandled()
    {
        bus.postAndWait ([this] (SessionBus::Connection* connection)
                         { g_dbus_connection_signal_unsubscribe (connection, subscription); });
    }

    SessionBus& bus;
    guint subscription = 0;
    std::atomic<int> count { 0 };
};

/** Polls a condition without delivering messages, until it holds or 20 s have gone. */
bool waitWithoutMessages (const std::function<bool()>& condition)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 20000;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;

        juce::Thread::sleep (1);
    }

    return true;
}

/** Delivers every message the message thread has been sent so far. */
void deliverPendingMessages()
{
    bool delivered = false;
    juce::MessageManager::callAsync ([&delivered]
                                     { delivered = true; });
    ASSERT_TRUE (MessagePump::runUntil ([&delivered]
                                { return delivered; }));
}
} // namespace

TEST (DesktopNotifier, NotifiesTheServiceAndAClickReachesTheHost)
{
    PrivateBus daemon;
    ASSERT_TRUE (daemon.getAddress().isNotEmpty());
    NotificationService service (daemon.getAddress());
    ASSERT_TRUE (service.ownName());

    CountingHost host;
    SessionBus bus (daemon.getAddress());
    DesktopNotifier notifier (bus, host, "TSY-Player", "tsy-player");

    notifier.show ("3 chapters downloaded", {});
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return service.getNotifications().size() == 1; }));
    EXPECT_EQ (service.getNotifications()[0],
               "('TSY-Player', uint32 0, 'tsy-player', '3 chapters downloaded', '', ['default', 'TSY-Player'], {'desktop-entry': <'tsy-player'>}, -1)");

    // Another program's notification, and another action of ours, are not a click on ours.
    ActionsHandled handled (bus);
    service.invokeAction (3, "default");
    service.invokeAction (7, "other");
    service.invokeAction (7, "default");
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return handled.count == 3; }));
    deliverPendingMessages();
    EXPECT_EQ (host.clicks, 1);
    EXPECT_TRUE (host.onMessageThread);

    // A new notification takes the place of the last one.
    notifier.show ("Il piano di lavoro", "Checksum mismatch");
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return service.getNotifications().size() == 2; }));
    EXPECT_TRUE (service.getNotifications()[1].startsWith ("('TSY-Player', uint32 7, 'tsy-player', 'Il piano di lavoro', 'Checksum mismatch',"))
        << service.getNotifications()[1];
}

TEST (DesktopNotifier, WithoutANotificationServiceNothingShowsAndTheLogSaysSoOnce)
{
    PrivateBus daemon;
    ASSERT_TRUE (daemon.getAddress().isNotEmpty());
    CapturedLog log;
    CountingHost host;
    SessionBus bus (daemon.getAddress());
    ASSERT_TRUE (bus.waitUntilSettled (20000));
    DesktopNotifier notifier (bus, host, "TSY-Player", "tsy-player");

    notifier.show ("3 chapters downloaded", {});
    notifier.show ("2 chapters downloaded", {});
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return log.linesStartingWith ("desktop bus: no notification shown").size() == 1; }));

    // Once a service is there, a notification that replaces the one before shows that every
    // reply before it has been handled: the second failure wrote nothing.
    NotificationService service (daemon.getAddress());
    ASSERT_TRUE (service.ownName());
    notifier.show ("1 chapter downloaded", {});
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return service.getNotifications().size() == 1; }));
    notifier.show ("1 chapter downloaded", {});
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return service.getNotifications().size() == 2; }));
    EXPECT_TRUE (service.getNotifications()[0].contains ("uint32 0,"));
    EXPECT_TRUE (service.getNotifications()[1].contains ("uint32 7,")) << service.getNotifications()[1];

    EXPECT_EQ (log.linesStartingWith ("desktop bus: no notification shown").size(), 1);
    EXPECT_EQ (host.clicks, 0);
}

TEST (DesktopNotifier, ClicksAfterTheNotifierWentAreDropped)
{
    PrivateBus daemon;
    ASSERT_TRUE (daemon.getAddress().isNotEmpty());
    NotificationService service (daemon.getAddress());
    ASSERT_TRUE (service.ownName());

    CountingHost host;
    SessionBus bus (daemon.getAddress());
    auto notifier = std::make_unique<DesktopNotifier> (bus, host, "TSY-Player", "tsy-player");
    notifier->show ("3 chapters downloaded", {});
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                { return service.getNotifications().size() == 1; }));

    // The click is handed to the message thread, which is busy until the notifier has gone.
    ActionsHandled handled (bus);
    service.invokeAction (7, "default");
    ASSERT_TRUE (waitWithoutMessages ([&]
                                      { return handled.count == 1; }));

    notifier = nullptr;
    deliverPendingMessages();
    EXPECT_EQ (host.clicks, 0);
}
