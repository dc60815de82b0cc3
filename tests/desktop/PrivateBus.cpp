#include "tests/desktop/PrivateBus.h"

PrivateBus::PrivateBus (const juce::File& socketFile)
{
    folder = juce::File::createTempFile ("tsy-bus");
    folder.createDirectory();
    auto* escaped = g_dbus_address_escape_value ((socketFile == juce::File() ? folder.getChildFile ("bus") : socketFile).getFullPathName().toRawUTF8());
    const auto socket = juce::String::fromUTF8 (escaped);
    g_free (escaped);

    // --nofork with --print-address: the daemon prints the address once it listens, so reading
    // the first line waits exactly for that.
    if (! daemon.start (juce::StringArray { "dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1", "--address=unix:path=" + socket }))
        return;

    // One byte at a time: the child's output is read through a buffered stream, which would
    // otherwise wait for a full buffer that a daemon printing one line never fills.
    juce::MemoryOutputStream printed;

    for (char c = 0; c != '\n';)
    {
        if (daemon.readProcessOutput (&c, 1) != 1)
            break;

        printed.writeByte (c);
    }

    address = printed.toString().upToFirstOccurrenceOf ("\n", false, false).trim();
}

PrivateBus::~PrivateBus()
{
    daemon.kill();
    daemon.waitForProcessToFinish (10000);
    folder.deleteRecursively();
}

//==============================================================================
BusPeer::BusPeer (const juce::String& address)
{
    GError* error = nullptr;
    const auto flags = static_cast<GDBusConnectionFlags> (G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    connection = g_dbus_connection_new_for_address_sync (address.toRawUTF8(), flags, nullptr, nullptr, &error);

    if (error != nullptr)
        g_error_free (error);

    thread = std::thread ([this]
                          {
                              g_main_context_push_thread_default (context);
                              g_main_loop_run (loop);
                              g_main_context_pop_thread_default (context); });
}

BusPeer::~BusPeer()
{
    runOnLoop ([this]
               {
                   if (connection != nullptr)
                   {
                       g_dbus_connection_close_sync (connection, nullptr, nullptr);
                       g_object_unref (connection);
                   }

                   connection = nullptr;
                   g_main_loop_quit (loop); });
    thread.join();
    g_main_loop_unref (loop);
    g_main_context_unref (context);
}

void BusPeer::runOnLoop (std::function<void()> function)
{
    juce::WaitableEvent done;
    auto job = [&function, &done]
    {
        function();
        done.signal();
    };
    using Job = decltype (job);

    g_main_context_invoke_full (
        context,
        G_PRIORITY_DEFAULT,
        [] (gpointer data) -> gboolean
        {
            (*static_cast<Job*> (data))();
            return G_SOURCE_REMOVE;
        },
        &job,
        nullptr);
    done.wait();
}

GVariant* BusPeer::call (const char* destination, const char* path, const char* interface, const char* method, GVariant* parameters, juce::String* errorText)
{
    GError* error = nullptr;
    auto* reply = g_dbus_connection_call_sync (connection, destination, path, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 20000, nullptr, &error);

    if (error != nullptr)
    {
        if (errorText != nullptr)
            *errorText = juce::String::fromUTF8 (error->message);

        g_error_free (error);
    }

    return reply;
}

GVariant* BusPeer::getProperty (const char* destination, const char* interface, const char* name)
{
    auto* reply = call (destination, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties", "Get", g_variant_new ("(ss)", interface, name));

    if (reply == nullptr)
        return nullptr;

    GVariant* value = nullptr;
    g_variant_get (reply, "(v)", &value);
    g_variant_unref (reply);
    return value;
}

bool BusPeer::ownName (const char* name)
{
    auto* reply = call ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName", g_variant_new ("(su)", name, 4u));

    if (reply == nullptr)
        return false;

    guint32 result = 0;
    g_variant_get (reply, "(u)", &result);
    g_variant_unref (reply);
    return result == 1; // DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER
}

juce::String BusPeer::getNameOwner (const char* name)
{
    auto* reply = call ("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner", g_variant_new ("(s)", name));

    if (reply == nullptr)
        return {};

    const gchar* owner = nullptr;
    g_variant_get (reply, "(&s)", &owner);
    const auto result = juce::String::fromUTF8 (owner);
    g_variant_unref (reply);
    return result;
}

//==============================================================================
juce::String printVariant (GVariant* value)
{
    auto* printed = g_variant_print (value, TRUE);
    const auto text = juce::String::fromUTF8 (printed);
    g_free (printed);
    return text;
}

juce::StringArray CapturedLog::linesStartingWith (const juce::String& prefix) const
{
    const juce::ScopedLock sl (lock);
    juce::StringArray found;

    for (const auto& line : lines)
        if (line.startsWith (prefix))
            found.add (line);

    return found;
}
