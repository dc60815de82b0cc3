#include "desktop/MediaControls.h"

#include <gio/gio.h>

namespace
{
const char* const introspectionXml = R"(
<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek">
      <arg direction="in" name="Offset" type="x"/>
    </method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri">
      <arg direction="in" name="Uri" type="s"/>
    </method>
    <signal name="Seeked">
      <arg name="Position" type="x"/>
    </signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

const char* statusName (MediaControls::Status status)
{
    switch (status)
    {
        case MediaControls::Status::playing:
            return "Playing";
        case MediaControls::Status::paused:
            return "Paused";
        case MediaControls::Status::stopped:
            break;
    }

    return "Stopped";
}

GVariant* makeMetadata (const MediaControls::State& state)
{
    GVariantBuilder builder;
    g_variant_builder_init (&builder, G_VARIANT_TYPE ("a{sv}"));

    // No current track: an empty map, as the interface asks.
    if (state.trackId.isNotEmpty())
    {
        g_variant_builder_add (&builder, "{sv}", "mpris:trackid", g_variant_new_object_path (state.trackId.toRawUTF8()));
        g_variant_builder_add (&builder, "{sv}", "mpris:length", g_variant_new_int64 (state.lengthMicroseconds));
        g_variant_builder_add (&builder, "{sv}", "xesam:title", g_variant_new_string (state.title.toRawUTF8()));
        g_variant_builder_add (&builder, "{sv}", "xesam:album", g_variant_new_string (state.album.toRawUTF8()));

        if (state.artUrl.isNotEmpty())
            g_variant_builder_add (&builder, "{sv}", "mpris:artUrl", g_variant_new_string (state.artUrl.toRawUTF8()));
    }

    return g_variant_builder_end (&builder);
}

bool sameMetadata (const MediaControls::State& a, const MediaControls::State& b)
{
    return a.trackId == b.trackId && a.title == b.title && a.album == b.album && a.artUrl == b.artUrl
           && a.lengthMicroseconds == b.lengthMicroseconds;
}
} // namespace

bool MediaControls::State::operator== (const State& other) const
{
    return status == other.status && sameMetadata (*this, other) && positionMicroseconds == other.positionMicroseconds
           && rate == other.rate && canPlay == other.canPlay && canPause == other.canPause && canSeek == other.canSeek
           && canGoNext == other.canGoNext && canGoPrevious == other.canGoPrevious;
}

//==============================================================================
/** What the bus thread and the message thread share. `host` is read and cleared on the message
    thread only; everything else belongs to the bus thread.
*/
struct MediaControls::Shared
{
    Host* host = nullptr;
    juce::String desktopEntry;

    State state;
    double stateTimeMs = 0.0;
    GDBusNodeInfo* node = nullptr;
    guint objectId = 0, playerObjectId = 0, ownerId = 0;

    /** Hands a call to the host on the message thread, unless the controls have gone by then. */
    static void forward (const std::shared_ptr<Shared>& shared, std::function<void (Host&)> call)
    {
        juce::MessageManager::callAsync ([shared, call = std::move (call)]
                                         {
                                             if (shared->host != nullptr)
                                                 call (*shared->host); });
    }

    /** The position now: the last one pushed, moved on by the time since while playing. */
    juce::int64 getPosition() const
    {
        auto position = state.positionMicroseconds;

        if (state.status == Status::playing)
            position += (juce::int64) ((juce::Time::getMillisecondCounterHiRes() - stateTimeMs) * 1000.0 * state.rate);

        return state.lengthMicroseconds > 0 ? juce::jlimit ((juce::int64) 0, state.lengthMicroseconds, position) : juce::jmax ((juce::int64) 0, position);
    }

    GVariant* getProperty (const juce::String& interface, const juce::String& name) const
    {
        if (interface == applicationInterface)
        {
            if (name == "CanQuit" || name == "CanRaise")
                return g_variant_new_boolean (TRUE);
            if (name == "HasTrackList")
                return g_variant_new_boolean (FALSE);
            if (name == "Identity")
                return g_variant_new_string (identity);
            if (name == "DesktopEntry")
                return g_variant_new_string (desktopEntry.toRawUTF8());
            if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes")
                return g_variant_new_strv (nullptr, 0);
            return nullptr;
        }

        if (name == "PlaybackStatus")
            return g_variant_new_string (statusName (state.status));
        if (name == "Rate")
            return g_variant_new_double (state.rate);
        if (name == "MinimumRate" || name == "MaximumRate")
            return g_variant_new_double (state.rate);
        if (name == "Metadata")
            return makeMetadata (state);
        if (name == "Position")
            return g_variant_new_int64 (getPosition());
        if (name == "CanGoNext")
            return g_variant_new_boolean (state.canGoNext);
        if (name == "CanGoPrevious")
            return g_variant_new_boolean (state.canGoPrevious);
        if (name == "CanPlay")
            return g_variant_new_boolean (state.canPlay);
        if (name == "CanPause")
            return g_variant_new_boolean (state.canPause);
        if (name == "CanSeek")
            return g_variant_new_boolean (state.canSeek);
        if (name == "CanControl")
            return g_variant_new_boolean (TRUE);
        return nullptr;
    }

    /** Answers a method call at once and hands it on; calls the state does not allow are
        answered and dropped, as the interface asks.
    */
    static void call (const std::shared_ptr<Shared>& shared, const juce::String& method, GVariant* parameters)
    {
        const auto& state = shared->state;

        if (method == "Raise")
            forward (shared, [] (Host& h)
                     { h.raise(); });
        else if (method == "Quit")
            forward (shared, [] (Host& h)
                     { h.quit(); });
        else if (method == "Play" && state.canPlay)
            forward (shared, [] (Host& h)
                     { h.play(); });
        else if (method == "Pause" && state.canPause)
            forward (shared, [] (Host& h)
                     { h.pause(); });
        else if (method == "PlayPause" && (state.canPlay || state.canPause))
            forward (shared, [] (Host& h)
                     { h.playPause(); });
        else if (method == "Stop" && state.trackId.isNotEmpty())
            forward (shared, [] (Host& h)
                     { h.stop(); });
        else if (method == "Next" && state.canGoNext)
            forward (shared, [] (Host& h)
                     { h.next(); });
        else if (method == "Previous" && state.canGoPrevious)
            forward (shared, [] (Host& h)
                     { h.previous(); });
        else if (method == "Seek" && state.canSeek)
        {
            gint64 offset = 0;
            g_variant_get (parameters, "(x)", &offset);
            forward (shared, [offset] (Host& h)
                     { h.seekBy (offset); });
        }
        else if (method == "SetPosition" && state.canSeek)
        {
            const gchar* track = nullptr;
            gint64 position = 0;
            g_variant_get (parameters, "(&ox)", &track, &position);

            // A position for another track, before the start or past the end is ignored.
            if (juce::String::fromUTF8 (track) == state.trackId && position >= 0 && position <= state.lengthMicroseconds)
                forward (shared, [position] (Host& h)
                         { h.setPosition (position); });
        }
    }

    /** Tells the bus which of the player's properties differ between two states. */
    void announceChanges (GDBusConnection* connection, const State& before) const
    {
        GVariantBuilder changed;
        g_variant_builder_init (&changed, G_VARIANT_TYPE ("a{sv}"));
        bool any = false;

        const auto add = [&] (bool differs, const char* name)
        {
            if (differs)
            {
                g_variant_builder_add (&changed, "{sv}", name, getProperty (playerInterface, name));
                any = true;
            }
        };

        add (before.status != state.status, "PlaybackStatus");
        add (! sameMetadata (before, state), "Metadata");
        add (before.rate != state.rate, "Rate");
        add (before.rate != state.rate, "MinimumRate");
        add (before.rate != state.rate, "MaximumRate");
        add (before.canPlay != state.canPlay, "CanPlay");
        add (before.canPause != state.canPause, "CanPause");
        add (before.canSeek != state.canSeek, "CanSeek");
        add (before.canGoNext != state.canGoNext, "CanGoNext");
        add (before.canGoPrevious != state.canGoPrevious, "CanGoPrevious");

        if (! any)
        {
            g_variant_builder_clear (&changed);
            return;
        }

        g_dbus_connection_emit_signal (connection,
                                       nullptr,
                                       objectPath,
                                       "org.freedesktop.DBus.Properties",
                                       "PropertiesChanged",
                                       g_variant_new ("(sa{sv}as)", playerInterface, &changed, nullptr),
                                       nullptr);
    }
};

//==============================================================================
MediaControls::MediaControls (SessionBus& sessionBus, Host& controlsHost, const juce::String& desktopEntry)
    : bus (sessionBus), shared (std::make_shared<Shared>())
{
    JUCE_ASSERT_MESSAGE_THREAD
    shared->host = &controlsHost;
    shared->desktopEntry = desktopEntry;

    bus.post ([s = shared] (SessionBus::Connection* connection)
              {
                  if (connection == nullptr)
                      return;

                  GError* error = nullptr;
                  s->node = g_dbus_node_info_new_for_xml (introspectionXml, &error);
                  jassert (s->node != nullptr);

                  static const GDBusInterfaceVTable vtable {
                      [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
                      {
                          Shared::call (*static_cast<std::shared_ptr<Shared>*> (data), juce::String::fromUTF8 (method), parameters);
                          g_dbus_method_invocation_return_value (invocation, nullptr);
                      },
                      [] (GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* name, GError** propertyError, gpointer data) -> GVariant*
                      {
                          auto* value = static_cast<std::shared_ptr<Shared>*> (data)->get()->getProperty (juce::String::fromUTF8 (interface), juce::String::fromUTF8 (name));

                          if (value == nullptr)
                              g_set_error (propertyError, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No such property: %s", name);

                          return value;
                      },
                      nullptr,
                      { nullptr }
                  };

                  const auto destroy = [] (gpointer data) { delete static_cast<std::shared_ptr<Shared>*> (data); };
                  s->objectId = g_dbus_connection_register_object (connection, objectPath, s->node->interfaces[0], &vtable, new std::shared_ptr<Shared> (s), destroy, nullptr);
                  s->playerObjectId = g_dbus_connection_register_object (connection, objectPath, s->node->interfaces[1], &vtable, new std::shared_ptr<Shared> (s), destroy, nullptr);
                  jassert (s->objectId != 0 && s->playerObjectId != 0);

                  s->ownerId = g_bus_own_name_on_connection (
                      connection,
                      busName,
                      G_BUS_NAME_OWNER_FLAGS_NONE,
                      [] (GDBusConnection*, const gchar* name, gpointer)
                      { juce::Logger::writeToLog ("desktop bus: media controls as " + juce::String::fromUTF8 (name)); },
                      [] (GDBusConnection*, const gchar* name, gpointer)
                      { juce::Logger::writeToLog ("desktop bus: the name " + juce::String::fromUTF8 (name) + " belongs to another program"); },
                      nullptr,
                      nullptr); });
}

MediaControls::~MediaControls()
{
    JUCE_ASSERT_MESSAGE_THREAD
    shared->host = nullptr;

    bus.postAndWait ([s = shared] (SessionBus::Connection* connection)
                     {
                         if (connection == nullptr || s->node == nullptr)
                             return;

                         g_bus_unown_name (s->ownerId);
                         g_dbus_connection_unregister_object (connection, s->playerObjectId);
                         g_dbus_connection_unregister_object (connection, s->objectId);
                         g_dbus_node_info_unref (s->node);
                         s->node = nullptr; });
}

void MediaControls::setState (const State& newState)
{
    JUCE_ASSERT_MESSAGE_THREAD
    const auto now = juce::Time::getMillisecondCounterHiRes();

    bus.post ([s = shared, newState, now] (SessionBus::Connection* connection)
              {
                  const auto before = s->state;
                  s->state = newState;
                  s->stateTimeMs = now;

                  if (connection != nullptr && s->node != nullptr)
                      s->announceChanges (connection, before); });
}

void MediaControls::seeked (juce::int64 positionMicroseconds)
{
    JUCE_ASSERT_MESSAGE_THREAD

    bus.post ([s = shared, positionMicroseconds] (SessionBus::Connection* connection)
              {
                  if (connection != nullptr && s->node != nullptr)
                      g_dbus_connection_emit_signal (connection, nullptr, objectPath, playerInterface, "Seeked", g_variant_new ("(x)", (gint64) positionMicroseconds), nullptr); });
}

juce::String MediaControls::makeTrackId (const juce::String& chapterId)
{
    juce::String path ("/org/tsyplayer/chapter/");
    const auto utf8 = chapterId.toStdString();

    // Path elements allow [A-Za-z0-9_] only, and must not be empty.
    if (utf8.empty())
        return path + "_";

    for (const auto byte : utf8)
    {
        const auto c = (unsigned char) byte;

        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            path << (char) c;
        else
            path << "_" << juce::String::toHexString ((int) c).paddedLeft ('0', 2);
    }

    return path;
}
