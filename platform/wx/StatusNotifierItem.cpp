#include "platform/wx/StatusNotifierItem.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace vobrik {

namespace {

constexpr const char* WatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* WatcherPath = "/StatusNotifierWatcher";
constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";
// A watcher that does not answer in this time is taken as absent.
constexpr int CallTimeoutMs = 2000;

constexpr const char* Introspection = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="SecondaryActivate">
   <arg type="i" direction="in"/><arg type="i" direction="in"/>
  </method>
  <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg type="s"/></signal>
 </interface>
</node>)xml";

// Whether the session has a bus. Without one GIO would start a bus of its own
// through dbus-launch, which would outlive the program.
bool SessionBusExists() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat socket = {};
    return runtime != nullptr && ::stat((std::string(runtime) + "/bus").c_str(), &socket) == 0 &&
           S_ISSOCK(socket.st_mode);
}

GVariant* PixmapArray(const std::vector<TPixmap>& pixmaps) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const TPixmap& pixmap : pixmaps)
        g_variant_builder_add(&builder, "(ii@ay)", pixmap.Width, pixmap.Height,
                              g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.Argb.data(),
                                                        pixmap.Argb.size(), 1));
    return g_variant_builder_end(&builder);
}

} // namespace

struct TStatusNotifierItem::TImpl {
    explicit TImpl(TItemEvents events) : Events(std::move(events)) {}

    TItemEvents Events;
    GDBusConnection* Connection = nullptr;
    GDBusNodeInfo* Node = nullptr;
    GCancellable* Pending = nullptr;
    guint Object = 0;
    guint Name = 0;
    guint Watch = 0;
    std::string Service;
    bool Registered = false;
    std::vector<TPixmap> Pixmaps;
    std::string IconName;
    std::string TipTitle;
    std::string TipText;

    bool Start();
    void Stop();
    void Register();
    void SetRegistered(bool registered);
    void Emit(const char* signal);

    static GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar* property, GError**, gpointer self);
    static void CallMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                           gpointer self);
    static void OnRegisterReply(GObject* source, GAsyncResult* result, gpointer self);
};

bool TStatusNotifierItem::TImpl::Start() {
    if (!SessionBusExists())
        return false;
    Connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (Connection == nullptr)
        return false;
    // A bus that goes away takes the item with it, never the program.
    g_dbus_connection_set_exit_on_close(Connection, FALSE);
    Node = g_dbus_node_info_new_for_xml(Introspection, nullptr);
    static const GDBusInterfaceVTable table = {&CallMethod, &GetProperty, nullptr, {}};
    Object = g_dbus_connection_register_object(Connection, ItemPath, Node->interfaces[0], &table,
                                               this, nullptr, nullptr);
    if (Object == 0)
        return false;
    Service = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1";
    Name = g_bus_own_name_on_connection(Connection, Service.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                                        nullptr, nullptr, nullptr, nullptr);

    // Asked once now, so that a hidden start already knows where its icon is.
    if (GVariant* reply = g_dbus_connection_call_sync(
            Connection, WatcherName, WatcherPath, WatcherName, "RegisterStatusNotifierItem",
            g_variant_new("(s)", Service.c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
            CallTimeoutMs, nullptr, nullptr)) {
        g_variant_unref(reply);
        Registered = true;
    }
    Watch = g_bus_watch_name_on_connection(
        Connection, WatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer self) {
            auto* impl = static_cast<TImpl*>(self);
            if (!impl->Registered)
                impl->Register();
        },
        [](GDBusConnection*, const gchar*, gpointer self) {
            static_cast<TImpl*>(self)->SetRegistered(false);
        },
        this, nullptr);
    return true;
}

void TStatusNotifierItem::TImpl::Register() {
    if (Pending != nullptr)
        return;
    Pending = g_cancellable_new();
    g_dbus_connection_call(Connection, WatcherName, WatcherPath, WatcherName,
                           "RegisterStatusNotifierItem", g_variant_new("(s)", Service.c_str()),
                           nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, CallTimeoutMs, Pending,
                           &OnRegisterReply, this);
}

void TStatusNotifierItem::TImpl::OnRegisterReply(GObject* source, GAsyncResult* result,
                                                 gpointer self) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    // Cancelled: the item is gone already.
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        g_error_free(error);
        return;
    }
    auto* impl = static_cast<TImpl*>(self);
    g_clear_object(&impl->Pending);
    if (error != nullptr)
        g_error_free(error);
    if (reply != nullptr)
        g_variant_unref(reply);
    impl->SetRegistered(reply != nullptr);
}

void TStatusNotifierItem::TImpl::SetRegistered(bool registered) {
    if (registered == Registered)
        return;
    Registered = registered;
    if (Events.WatcherChanged)
        Events.WatcherChanged();
}

void TStatusNotifierItem::TImpl::Stop() {
    if (Pending != nullptr) {
        g_cancellable_cancel(Pending);
        g_clear_object(&Pending);
    }
    if (Watch != 0)
        g_bus_unwatch_name(Watch);
    if (Name != 0)
        g_bus_unown_name(Name);
    if (Object != 0)
        g_dbus_connection_unregister_object(Connection, Object);
    if (Node != nullptr)
        g_dbus_node_info_unref(Node);
    if (Connection != nullptr) {
        g_dbus_connection_flush_sync(Connection, nullptr, nullptr);
        g_object_unref(Connection);
    }
}

void TStatusNotifierItem::TImpl::Emit(const char* signal) {
    if (Object != 0)
        g_dbus_connection_emit_signal(Connection, nullptr, ItemPath, ItemInterface, signal, nullptr,
                                      nullptr);
}

GVariant* TStatusNotifierItem::TImpl::GetProperty(GDBusConnection*, const gchar*, const gchar*,
                                                  const gchar*, const gchar* property, GError**,
                                                  gpointer self) {
    auto* impl = static_cast<TImpl*>(self);
    const std::string name = property;
    if (name == "Category")
        return g_variant_new_string("ApplicationStatus");
    if (name == "Id")
        return g_variant_new_string("vobrik");
    if (name == "Title")
        return g_variant_new_string("Vobrik");
    if (name == "Status")
        return g_variant_new_string("Active");
    if (name == "IconName")
        return g_variant_new_string(impl->IconName.c_str());
    if (name == "IconPixmap")
        return PixmapArray(impl->Pixmaps);
    if (name == "ToolTip")
        return g_variant_new("(s@a(iiay)ss)", "", PixmapArray({}), impl->TipTitle.c_str(),
                             impl->TipText.c_str());
    if (name == "ItemIsMenu")
        return g_variant_new_boolean(FALSE);
    return nullptr;
}

void TStatusNotifierItem::TImpl::CallMethod(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar* method, GVariant*,
                                            GDBusMethodInvocation* invocation, gpointer self) {
    auto* impl = static_cast<TImpl*>(self);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const std::string name = method;
    if (name == "Activate" && impl->Events.Activate)
        impl->Events.Activate();
    else if (name == "ContextMenu" && impl->Events.ContextMenu)
        impl->Events.ContextMenu();
}

TStatusNotifierItem::TStatusNotifierItem(TItemEvents events)
    : Impl(std::make_unique<TImpl>(std::move(events))) {
    Impl->Start();
}

TStatusNotifierItem::~TStatusNotifierItem() {
    Impl->Stop();
}

bool TStatusNotifierItem::IsRegistered() const {
    return Impl->Registered;
}

void TStatusNotifierItem::SetIcon(std::vector<TPixmap> pixmaps, const std::string& iconName) {
    Impl->Pixmaps = std::move(pixmaps);
    Impl->IconName = iconName;
    Impl->Emit("NewIcon");
}

void TStatusNotifierItem::SetTip(const std::string& title, const std::string& text) {
    Impl->TipTitle = title;
    Impl->TipText = text;
    Impl->Emit("NewToolTip");
}

} // namespace vobrik
