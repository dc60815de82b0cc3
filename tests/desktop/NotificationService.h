#pragma once

#include "tests/desktop/PrivateBus.h"

/**
    The desktop's notification service ("org.freedesktop.Notifications"), served on a bus by a
    peer of the test's own: it keeps the arguments of every Notify call and answers with ids from
    7 up, and emits the service's ActionInvoked signal as a click on a notification would.
*/
class NotificationService final
{
public:
    /** Serves the object on the bus at this address; the name is asked for with ownName. */
    explicit NotificationService (const juce::String& address);
    ~NotificationService();

    /** Asks for the service's bus name; true once this peer owns it. */
    bool ownName() { return peer.ownName ("org.freedesktop.Notifications"); }

    /** The parameters of every Notify so far, as GLib prints them with their types. */
    juce::StringArray getNotifications() const;

    /** Sends ActionInvoked for a notification id and an action ("default" is a click). */
    void invokeAction (guint32 id, const char* action);

    BusPeer peer;

private:
    GDBusNodeInfo* node = nullptr;
    guint objectId = 0;
    juce::CriticalSection lock;
    juce::StringArray notifications;

    JUCE_DECLARE_NON_COPYABLE (NotificationService)
};
