#pragma once

#include "desktop/SessionBus.h"

#include <memory>

/**
    Desktop notifications through the notification service of the session bus
    ("org.freedesktop.Notifications"), on the bus's connection. A new notification replaces the
    player's previous one; clicking it (its "default" action) reaches the Host on the message
    thread. Without a bus or a notification service nothing shows and the log says why once.
*/
class DesktopNotifier final
{
public:
    /** What a click on a notification asks of the player. Called on the message thread. */
    class Host
    {
    public:
        virtual ~Host() = default;

        virtual void notificationClicked() = 0;
    };

    /** Listens for clicks on the player's notifications. Message thread. */
    DesktopNotifier (SessionBus& bus, Host& host, const juce::String& applicationName, const juce::String& desktopEntry);

    /** Stops listening; no Host call arrives afterwards. Message thread. */
    ~DesktopNotifier();

    /** Shows a notification; returns at once. Message thread. */
    void show (const juce::String& summary, const juce::String& body);

    static constexpr const char* serviceName = "org.freedesktop.Notifications";
    static constexpr const char* servicePath = "/org/freedesktop/Notifications";

private:
    struct Shared;

    SessionBus& bus;
    std::shared_ptr<Shared> shared;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DesktopNotifier)
};
