#include "desktop/DesktopNotifier.h"

#include <gio/gio.h>

/** What the bus thread and the message thread share. `host` is read and cleared on the message
    thread only; everything else belongs to the bus thread.
*/
struct DesktopNotifier::Shared
{
    Host* host = nullptr;
    juce::String applicationName, desktopEntry;

    guint32 lastId = 0;
    guint subscription = 0;
    bool failureLogged = false;
};

DesktopNotifier::DesktopNotifier (SessionBus& sessionBus, Host& notifierHost, const juce::String& applicationName, const juce::String& desktopEntry)
    : bus (sessionBus), shared (std::make_shared<Shared>())
{
    JUCE_ASSERT_MESSAGE_THREAD
    shared->host = &notifierHost;
    shared->applicationName = applicationName;
    shared->desktopEntry = desktopEntry;

    bus.post ([s = shared] (SessionBus::Connection* connection)
              {
                  if (connection == nullptr)
                      return;

                  s->subscription = g_dbus_connection_signal_subscribe (
                      connection,
                      serviceName,
                      serviceName,
                      "ActionInvoked",
                      servicePath,
                      nullptr,
                      G_DBUS_SIGNAL_FLAGS_NONE,
                      [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer data)
                      {
                          auto& self = *static_cast<std::shared_ptr<Shared>*> (data);

                          if (! g_variant_is_of_type (parameters, G_VARIANT_TYPE ("(us)")))
                              return;

                          guint32 id = 0;
                          const gchar* action = nullptr;
                          g_variant_get (parameters, "(u&s)", &id, &action);

                          // Another program's notification, or another action, is not ours to answer.
                          if (id == 0 || id != self->lastId || juce::String::fromUTF8 (action) != "default")
                              return;

                          juce::MessageManager::callAsync ([self]
                                                           {
                                                               if (self->host != nullptr)
                                                                   self->host->notificationClicked();
                                                           });
                      },
                      new std::shared_ptr<Shared> (s),
                      [] (gpointer data) { delete static_cast<std::shared_ptr<Shared>*> (data); }); });
}

DesktopNotifier::~DesktopNotifier()
{
    JUCE_ASSERT_MESSAGE_THREAD
    shared->host = nullptr;

    bus.postAndWait ([s = shared] (SessionBus::Connection* connection)
                     {
                         if (connection != nullptr && s->subscription != 0)
                             g_dbus_connection_signal_unsubscribe (connection, s->subscription);

                         s->subscription = 0; });
}

void DesktopNotifier::show (const juce::String& summary, const juce::String& body)
{
    JUCE_ASSERT_MESSAGE_THREAD

    bus.post ([s = shared, summary, body] (SessionBus::Connection* connection)
              {
                  if (connection == nullptr)
                      return;

                  GVariantBuilder actions;
                  g_variant_builder_init (&actions, G_VARIANT_TYPE ("as"));
                  g_variant_builder_add (&actions, "s", "default");
                  g_variant_builder_add (&actions, "s", s->applicationName.toRawUTF8());

                  GVariantBuilder hints;
                  g_variant_builder_init (&hints, G_VARIANT_TYPE ("a{sv}"));
                  g_variant_builder_add (&hints, "{sv}", "desktop-entry", g_variant_new_string (s->desktopEntry.toRawUTF8()));

                  auto* parameters = g_variant_new ("(susssasa{sv}i)",
                                                    s->applicationName.toRawUTF8(),
                                                    s->lastId,
                                                    s->desktopEntry.toRawUTF8(),
                                                    summary.toRawUTF8(),
                                                    body.toRawUTF8(),
                                                    &actions,
                                                    &hints,
                                                    -1);

                  g_dbus_connection_call (
                      connection,
                      serviceName,
                      servicePath,
                      serviceName,
                      "Notify",
                      parameters,
                      G_VARIANT_TYPE ("(u)"),
                      G_DBUS_CALL_FLAGS_NONE,
                      -1,
                      nullptr,
                      [] (GObject* source, GAsyncResult* result, gpointer data)
                      {
                          std::unique_ptr<std::shared_ptr<Shared>> self (static_cast<std::shared_ptr<Shared>*> (data));
                          GError* error = nullptr;
                          auto* reply = g_dbus_connection_call_finish (G_DBUS_CONNECTION (source), result, &error);

                          if (reply == nullptr)
                          {
                              // Once per run: a desktop without a notification service stays quiet.
                              if (! (*self)->failureLogged)
                                  juce::Logger::writeToLog ("desktop bus: no notification shown (" + juce::String::fromUTF8 (error->message) + ")");

                              (*self)->failureLogged = true;
                              g_error_free (error);
                              return;
                          }

                          g_variant_get (reply, "(u)", &(*self)->lastId);
                          g_variant_unref (reply);
                      },
                      new std::shared_ptr<Shared> (s)); });
}
