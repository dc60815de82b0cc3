#include "tests/desktop/NotificationService.h"

namespace
{
const char* const serviceXml = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg direction="in" type="s"/><arg direction="in" type="u"/><arg direction="in" type="s"/>
      <arg direction="in" type="s"/><arg direction="in" type="s"/><arg direction="in" type="as"/>
      <arg direction="in" type="a{sv}"/><arg direction="in" type="i"/>
      <arg direction="out" type="u"/>
    </method>
  </interface>
</node>)";

constexpr const char* servicePath = "/org/freedesktop/Notifications";
constexpr const char* serviceInterface = "org.freedesktop.Notifications";
} // namespace

NotificationService::NotificationService (const juce::String& address) : peer (address)
{
    peer.runOnLoop ([this]
                    {
                        node = g_dbus_node_info_new_for_xml (serviceXml, nullptr);
                        static const GDBusInterfaceVTable vtable {
                            [] (GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data)
                            {
                                auto& self = *static_cast<NotificationService*> (data);
                                const juce::ScopedLock sl (self.lock);
                                self.notifications.add (printVariant (parameters));
                                g_dbus_method_invocation_return_value (invocation, g_variant_new ("(u)", (guint32) (6 + self.notifications.size())));
                            },
                            nullptr,
                            nullptr,
                            { nullptr }
                        };

                        if (peer.getConnection() != nullptr)
                            objectId = g_dbus_connection_register_object (peer.getConnection(), servicePath, node->interfaces[0], &vtable, this, nullptr, nullptr); });
}

NotificationService::~NotificationService()
{
    peer.runOnLoop ([this]
                    {
                        if (objectId != 0)
                            g_dbus_connection_unregister_object (peer.getConnection(), objectId);

                        g_dbus_node_info_unref (node); });
}

juce::StringArray NotificationService::getNotifications() const
{
    const juce::ScopedLock sl (lock);
    return notifications;
}

void NotificationService::invokeAction (guint32 id, const char* action)
{
    peer.runOnLoop ([this, id, action]
                    { g_dbus_connection_emit_signal (peer.getConnection(), nullptr, servicePath, serviceInterface, "ActionInvoked", g_variant_new ("(us)", id, action), nullptr); });
}
