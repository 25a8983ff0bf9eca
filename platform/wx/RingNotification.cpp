#include "platform/wx/RingNotification.h"

#include <gio/gio.h>

#include <initializer_list>
#include <utility>

namespace vobrik {

namespace {

constexpr const char* Service = "org.freedesktop.Notifications";
constexpr const char* Path = "/org/freedesktop/Notifications";

// The session bus, opened once; none where there is no session bus.
GDBusConnection* SessionBus() {
    static GDBusConnection* bus = [] {
        GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (connection != nullptr)
            g_dbus_connection_set_exit_on_close(connection, FALSE);
        return connection;
    }();
    return bus;
}

void Close(GDBusConnection* bus, guint32 id) {
    g_dbus_connection_call(bus, Service, Path, Service, "CloseNotification",
                           g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1,
                           nullptr, nullptr, nullptr);
}

// Notify's parameters: critical, so that it shows over a full-screen window
// and stays; `actions` are key and label in turn.
GVariant* NotifyParameters(const char* summary, const std::string& body,
                           std::initializer_list<const char*> actions, gint32 timeout) {
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
    for (const char* action : actions)
        g_variant_builder_add(&list, "s", action);
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(2)); // critical
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("vobrik"));
    return g_variant_new("(susssasa{sv}i)", "Vobrik", 0u, "vobrik", summary, body.c_str(), &list,
                         &hints, timeout);
}

} // namespace

void NotifyDesktop(const std::string& summary, const std::string& body) {
    GDBusConnection* bus = SessionBus();
    if (bus == nullptr)
        return;
    if (GVariant* reply = g_dbus_connection_call_sync(
            bus, Service, Path, Service, "Notify", NotifyParameters(summary.c_str(), body, {}, -1),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 1000, nullptr, nullptr))
        g_variant_unref(reply);
}

// Shared with the bus's callbacks, which may come after the ring is over.
struct TRingNotification::TState {
    GDBusConnection* Bus = nullptr;
    std::function<void(const std::string&)> Answer;
    guint32 Id = 0;         // the service's, once it has answered
    bool Withdrawn = false; // the ring was answered before the service
    guint Subscription = 0;
};

TRingNotification::TRingNotification(const std::string& body,
                                     std::function<void(const std::string&)> answer)
    : State(std::make_shared<TState>()) {
    State->Bus = SessionBus();
    State->Answer = std::move(answer);
    if (State->Bus == nullptr)
        return;
    State->Subscription = g_dbus_connection_signal_subscribe(
        State->Bus, Service, Service, "ActionInvoked", Path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* parameters, gpointer data) {
            const std::shared_ptr<TState>& state = *static_cast<std::shared_ptr<TState>*>(data);
            guint32 id = 0;
            const gchar* key = nullptr;
            g_variant_get(parameters, "(u&s)", &id, &key);
            if (id != 0 && id == state->Id && !state->Withdrawn && state->Answer)
                state->Answer(key);
        },
        new std::shared_ptr<TState>(State),
        [](gpointer data) { delete static_cast<std::shared_ptr<TState>*>(data); });

    // The reply comes later; the state lives until it has.
    auto* pending = new std::shared_ptr<TState>(State);
    g_dbus_connection_call(
        State->Bus, Service, Path, Service, "Notify",
        NotifyParameters("Vobrik", body, {"valider", "Valider", "rappel", "Rappel"}, 0),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<TState>> state(
                static_cast<std::shared_ptr<TState>*>(data));
            GVariant* reply =
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
            if (reply == nullptr)
                return; // no service: the dialog alone rings
            g_variant_get(reply, "(u)", &(*state)->Id);
            g_variant_unref(reply);
            if ((*state)->Withdrawn)
                Close((*state)->Bus, (*state)->Id);
        },
        pending);
}

TRingNotification::~TRingNotification() {
    if (State->Bus == nullptr)
        return;
    State->Withdrawn = true;
    if (State->Subscription != 0)
        g_dbus_connection_signal_unsubscribe(State->Bus, State->Subscription);
    if (State->Id != 0)
        Close(State->Bus, State->Id);
}

} // namespace vobrik
