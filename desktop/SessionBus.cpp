#include "desktop/SessionBus.h"

#include <gio/gio.h>
#include <sys/stat.h>

namespace
{
using Task = std::function<void (SessionBus::Connection*)>;

struct PostedTask
{
    SessionBus* bus;
    Task task;
};
} // namespace

SessionBus::SessionBus (const juce::String& busAddress)
    : juce::Thread ("session bus"), address (busAddress)
{
    context = g_main_context_new();
    loop = g_main_loop_new (context, FALSE);
    startThread();
}

SessionBus::~SessionBus()
{
    jassert (! isBusThread());

    // After every task posted so far, since sources of one priority run in the order attached;
    // but not after a connection that may never come: tasks still waiting for it get none.
    auto* source = g_idle_source_new();
    g_source_set_priority (source, G_PRIORITY_DEFAULT);
    g_source_set_callback (
        source,
        [] (gpointer mainLoop) -> gboolean
        {
            g_main_loop_quit (static_cast<GMainLoop*> (mainLoop));
            return G_SOURCE_REMOVE;
        },
        loop,
        nullptr);
    g_source_attach (source, context);
    g_source_unref (source);
    stopThread (-1);
    g_main_loop_unref (loop);
    g_main_context_unref (context);
}

juce::String SessionBus::findSessionAddress()
{
    const auto fromEnvironment = juce::SystemStats::getEnvironmentVariable ("DBUS_SESSION_BUS_ADDRESS", {}).trim();

    if (fromEnvironment.isNotEmpty())
        return fromEnvironment;

    // The user bus of a systemd session; GLib would otherwise try to launch a bus through X11,
    // which a program should never do behind the user's back.
    const auto runtimeFolder = juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {});

    if (juce::File::isAbsolutePath (runtimeFolder))
    {
        const auto socket = juce::File (runtimeFolder).getChildFile ("bus");
        struct stat info
        {
        };

        // By stat itself: the framework's test for a folder takes a socket for one, as the
        // two share a mode bit.
        if (::stat (socket.getFullPathName().toRawUTF8(), &info) == 0 && S_ISSOCK (info.st_mode))
        {
            auto* escaped = g_dbus_address_escape_value (socket.getFullPathName().toRawUTF8());
            const auto result = "unix:path=" + juce::String::fromUTF8 (escaped);
            g_free (escaped);
            return result;
        }
    }

    return {};
}

void SessionBus::post (Task task)
{
    auto* source = g_idle_source_new();
    g_source_set_priority (source, G_PRIORITY_DEFAULT);
    g_source_set_callback (
        source,
        [] (gpointer data) -> gboolean
        {
            auto* posted = static_cast<PostedTask*> (data);
            posted->bus->runTask (posted->task);
            return G_SOURCE_REMOVE;
        },
        new PostedTask { this, std::move (task) },
        [] (gpointer data)
        { delete static_cast<PostedTask*> (data); });
    g_source_attach (source, context);
    g_source_unref (source);
}

void SessionBus::postAndWait (Task task)
{
    jassert (! isBusThread());
    juce::WaitableEvent done;
    post ([&task, &done] (Connection* c)
          {
              task (c);
              done.signal(); });
    done.wait();
}

bool SessionBus::waitUntilSettled (int timeoutMs) const
{
    jassert (! isBusThread());
    settled.wait (timeoutMs);
    return link == Link::connected;
}

void SessionBus::runTask (Task& task)
{
    if (link == Link::connecting)
        waiting.push_back (std::move (task));
    else
        task (connection);
}

void SessionBus::connectionReady (void* source, void* result, void* self)
{
    GError* error = nullptr;
    auto* made = g_dbus_connection_new_for_address_finish (static_cast<GAsyncResult*> (result), &error);
    juce::ignoreUnused (source);
    auto* bus = static_cast<SessionBus*> (self);

    if (made == nullptr)
    {
        // Cancelled: the player is going before the bus answered, which is nothing to report.
        const auto reason = g_error_matches (error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ? juce::String() : juce::String::fromUTF8 (error->message);
        g_error_free (error);
        bus->settle (nullptr, reason);
        return;
    }

    bus->settle (made, {});
}

void SessionBus::settle (Connection* newConnection, const juce::String& failure)
{
    jassert (isBusThread() && link == Link::connecting);

    if (newConnection != nullptr)
    {
        // The player leaves the bus when it decides to, not when the bus goes away.
        g_dbus_connection_set_exit_on_close (newConnection, FALSE);
        connection = newConnection;
        link = Link::connected;
    }
    else
    {
        if (failure.isNotEmpty())
            juce::Logger::writeToLog (juce::String (noBusLogPrefix) + (address.isEmpty() ? juce::String() : " at " + address) + " (" + failure
                                      + "): no media controls or desktop notifications");

        link = Link::absent;
    }

    settled.signal();

    for (auto& task : std::exchange (waiting, {}))
        task (connection);
}

void SessionBus::run()
{
    g_main_context_push_thread_default (context);
    auto* cancellable = g_cancellable_new();

    if (address.isEmpty())
    {
        settle (nullptr, "none found");
    }
    else
    {
        const auto flags = static_cast<GDBusConnectionFlags> (G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
        g_dbus_connection_new_for_address (
            address.toRawUTF8(),
            flags,
            nullptr,
            cancellable,
            [] (GObject* source, GAsyncResult* result, gpointer self)
            { connectionReady (source, result, self); },
            this);
    }

    g_main_loop_run (loop);

    // Quitting while still connecting: the cancelled attempt reports back on this context.
    g_cancellable_cancel (cancellable);

    while (link == Link::connecting)
        g_main_context_iteration (context, TRUE);

    if (connection != nullptr)
    {
        // What the services sent last (their leaving the bus) must reach it before the close.
        g_dbus_connection_flush_sync (connection, nullptr, nullptr);
        g_dbus_connection_close_sync (connection, nullptr, nullptr);
        g_object_unref (connection);
        connection = nullptr;
    }

    while (g_main_context_iteration (context, FALSE))
    {
    }

    g_object_unref (cancellable);
    g_main_context_pop_thread_default (context);
}
