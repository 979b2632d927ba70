#include "platform/DesktopNotification.h"

#include "platform/Paths.h"

#include <gio/gio.h>

#include <memory>

namespace platform {

namespace {

// The id of the program's last notification, which the next one replaces
// (GUI thread only: GIO's callbacks come through the main loop).
guint32 g_lastId = 0;

struct Message {
    std::string summary, body;
};

void OnReply(GObject* bus, GAsyncResult* result, gpointer /*data*/) {
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    if (reply != nullptr) {
        g_variant_get(reply, "(u)", &g_lastId);
        g_variant_unref(reply);
    }
}

void OnBus(GObject* /*source*/, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<Message> m(static_cast<Message*>(data));
    GDBusConnection* bus = g_bus_get_finish(result, nullptr);
    if (bus == nullptr) {
        return;
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(kAppId));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    const gchar* const noActions[] = {nullptr};
    g_dbus_connection_call(
        bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify",
        g_variant_new("(susss^asa{sv}i)", "Vestrel", g_lastId, kAppId, m->summary.c_str(),
                      m->body.c_str(), noActions, &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &OnReply, nullptr);
    g_object_unref(bus);
}

} // namespace

void ShowDesktopNotification(const std::string& summary, const std::string& body) {
    // OnBus takes the message back.
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, &OnBus,
              std::make_unique<Message>(Message{summary, body}).release());
}

} // namespace platform
