#include "platform/wx/TrayIcon.h"

#include "platform/wx/Resources.h"
#include "platform/wx/StatusNotifierItem.h"
#include "platform/wx/Window.h"
#include "platform/wx/WxText.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/image.h>
#include <wx/taskbar.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <map>
#include <utility>

namespace vobrik {

struct TIcon::TImages {
    wxIconBundle Icons;
};

TIcon::TIcon(int iconGroup) : Images(std::make_unique<TImages>()) {
    Images->Icons = LoadIconGroup(iconGroup);
}

TIcon::~TIcon() = default;

bool TIcon::IsOk() const {
    return !Images->Icons.IsEmpty();
}

namespace {

// An XEmbed tray is the owner of the _NET_SYSTEM_TRAY_S<screen> selection. A
// new one says so to the root window in a MANAGER message; one that goes
// away destroys its window.
class TXEmbedTray {
  public:
    std::function<void()> Changed;

    void Start() {
        GdkDisplay* display = gdk_display_get_default();
        if (Started || display == nullptr || !GDK_IS_X11_DISPLAY(display))
            return;
        Started = true;
        Display = display;
        X = GDK_DISPLAY_XDISPLAY(display);
        const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(X));
        Selection = XInternAtom(X, selection.c_str(), False);
        Manager = XInternAtom(X, "MANAGER", False);
        Listen(DefaultRootWindow(X));
        gdk_window_add_filter(nullptr, &Filter, this);
        Follow();
    }

  private:
    void Follow() {
        Owner = XGetSelectionOwner(X, Selection);
        if (Owner != None)
            Listen(Owner);
    }

    // Adds ours to what this program already asked of the window, which the
    // toolkit's own tray icon shares.
    void Listen(Window window) {
        gdk_x11_display_error_trap_push(Display);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(X, window, &attributes) != 0)
            XSelectInput(X, window, attributes.your_event_mask | StructureNotifyMask);
        gdk_x11_display_error_trap_pop_ignored(Display);
    }

    static GdkFilterReturn Filter(GdkXEvent* native, GdkEvent*, gpointer self) {
        auto* tray = static_cast<TXEmbedTray*>(self);
        const auto* event = static_cast<const XEvent*>(native);
        if (event->type == ClientMessage && event->xclient.message_type == tray->Manager &&
            static_cast<Atom>(event->xclient.data.l[1]) == tray->Selection) {
            tray->Follow();
        } else if (event->type == DestroyNotify && tray->Owner != None &&
                   event->xdestroywindow.window == tray->Owner) {
            tray->Owner = None;
        } else {
            return GDK_FILTER_CONTINUE;
        }
        if (tray->Changed)
            tray->Changed();
        return GDK_FILTER_CONTINUE;
    }

    bool Started = false;
    GdkDisplay* Display = nullptr;
    ::Display* X = nullptr;
    Atom Selection = None;
    Atom Manager = None;
    Window Owner = None;
};

TXEmbedTray& XEmbedTray() {
    static TXEmbedTray tray;
    return tray;
}

std::function<void()>& TrayChangeHandler() {
    static std::function<void()> handler;
    return handler;
}

void TrayChanged() {
    if (TrayChangeHandler())
        TrayChangeHandler()();
}

// The icon at one size, as the StatusNotifierItem carries it.
TPixmap PixmapOf(const wxIconBundle& icons, int size) {
    wxImage image =
        wxBitmap(icons.GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NEAREST_LARGER))
            .ConvertToImage();
    if (image.GetWidth() != size || image.GetHeight() != size)
        image.Rescale(size, size, wxIMAGE_QUALITY_HIGH);
    TPixmap pixmap{size, size, {}};
    pixmap.Argb.reserve(static_cast<size_t>(size * size * 4));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            pixmap.Argb.push_back(image.HasAlpha() ? image.GetAlpha(x, y) : 255);
            pixmap.Argb.push_back(image.GetRed(x, y));
            pixmap.Argb.push_back(image.GetGreen(x, y));
            pixmap.Argb.push_back(image.GetBlue(x, y));
        }
    }
    return pixmap;
}

} // namespace

// One icon, shown as a StatusNotifierItem while a watcher has taken it, in the
// XEmbed tray otherwise. Both report presses as the same mouse messages.
class TTrayIcon : public wxTaskBarIcon {
  public:
    TTrayIcon(TWindow* window, unsigned id) : Window(window), Id(id) {
        TItemEvents events;
        events.Activate = [this] { Notify(WM_LBUTTONDOWN); };
        events.ContextMenu = [this] { Notify(WM_RBUTTONDOWN); };
        events.WatcherChanged = [this] {
            Place();
            TrayChanged();
        };
        Item = std::make_unique<TStatusNotifierItem>(std::move(events));
        Forward(wxEVT_TASKBAR_MOVE, WM_MOUSEMOVE);
        Forward(wxEVT_TASKBAR_LEFT_DOWN, WM_LBUTTONDOWN);
        Forward(wxEVT_TASKBAR_LEFT_UP, WM_LBUTTONUP);
        Forward(wxEVT_TASKBAR_LEFT_DCLICK, WM_LBUTTONDBLCLK);
        Forward(wxEVT_TASKBAR_RIGHT_DOWN, WM_RBUTTONDOWN);
        Forward(wxEVT_TASKBAR_RIGHT_UP, WM_RBUTTONUP);
        Forward(wxEVT_TASKBAR_RIGHT_DCLICK, WM_RBUTTONDBLCLK);
        // GTK reports the right button's press only as the request for a
        // context menu.
        Forward(wxEVT_TASKBAR_CLICK, WM_RBUTTONDOWN);
    }

    unsigned CallbackMessage = 0;

    bool Show(const NOTIFYICONDATA& data) {
        if (data.uFlags & NIF_MESSAGE)
            CallbackMessage = data.uCallbackMessage;
        if (data.uFlags & NIF_ICON && data.hIcon != nullptr && data.hIcon->IsOk()) {
            Icons = data.hIcon->Images->Icons;
            if (Item)
                Item->SetIcon({PixmapOf(Icons, 16), PixmapOf(Icons, 32), PixmapOf(Icons, 48),
                               PixmapOf(Icons, 64)},
                              "vobrik");
        }
        if (data.uFlags & NIF_TIP)
            SetTip(std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip)), "");
        return Place();
    }

    bool SetTip(const std::string& title, const std::string& text) {
        const wxString first = FromWindows1252(title);
        const wxString second = FromWindows1252(text);
        Tip = second.empty() ? first : first + "\n" + second;
        if (Item)
            Item->SetTip(first.utf8_string(), second.utf8_string());
        return Place();
    }

    bool InStatusNotifier() const { return Item && Item->IsRegistered(); }

    // Off both kinds of tray at once, even while a press is being answered.
    void Withdraw() {
        Item.reset();
        if (IsIconInstalled())
            RemoveIcon();
    }

  private:
    bool Place() {
        if (Icons.IsEmpty())
            return false;
        if (InStatusNotifier()) {
            if (IsIconInstalled())
                RemoveIcon();
            return true;
        }
        return SetIcon(wxBitmapBundle::FromIconBundle(Icons), Tip);
    }

    void Notify(unsigned mouseMessage) {
        if (CallbackMessage != 0 && Window != nullptr)
            Window->SendMessage(CallbackMessage, Id, static_cast<intptr_t>(mouseMessage));
    }

    void Forward(const wxEventTypeTag<wxTaskBarIconEvent>& type, unsigned mouseMessage) {
        Bind(type, [this, mouseMessage](wxTaskBarIconEvent&) { Notify(mouseMessage); });
    }

    TWindow* Window;
    unsigned Id;
    wxIconBundle Icons;
    wxString Tip;
    std::unique_ptr<TStatusNotifierItem> Item;
};

namespace {

using TKey = std::pair<TWindow*, unsigned>;

std::map<TKey, TTrayIcon*>& Icons() {
    static std::map<TKey, TTrayIcon*> icons;
    return icons;
}

void Remove(TTrayIcon* icon) {
    icon->Withdraw();
    // It may be answering one of its own events right now.
    if (wxTheApp != nullptr)
        wxTheApp->ScheduleForDestruction(icon);
    else
        delete icon;
}

} // namespace

bool Shell_NotifyIcon(unsigned message, NOTIFYICONDATA* data) {
    if (data == nullptr)
        return false;
    const TKey key{data->hWnd, data->uID};
    auto found = Icons().find(key);
    switch (message) {
    case NIM_ADD: {
        if (found != Icons().end())
            return false;
        auto* icon = new TTrayIcon(data->hWnd, data->uID);
        if (!icon->Show(*data)) {
            Remove(icon);
            return false;
        }
        Icons()[key] = icon;
        return true;
    }
    case NIM_MODIFY:
        return found != Icons().end() && found->second->Show(*data);
    case NIM_DELETE:
        if (found == Icons().end())
            return false;
        Remove(found->second);
        Icons().erase(found);
        return true;
    default:
        return false;
    }
}

bool SetTrayIconTip(TWindow* window, unsigned id, const char* tip) {
    const auto found = Icons().find(TKey{window, id});
    if (found == Icons().end() || tip == nullptr)
        return false;
    const std::string whole = tip;
    const size_t end = whole.find('\n');
    return found->second->SetTip(whole.substr(0, end),
                                 end == std::string::npos ? "" : whole.substr(end + 1));
}

bool IsSystemTrayAvailable() {
    for (const auto& entry : Icons())
        if (entry.second->InStatusNotifier())
            return true;
    return wxTaskBarIcon::IsAvailable();
}

void SetTrayChangeHandler(std::function<void()> handler) {
    TrayChangeHandler() = std::move(handler);
    if (!TrayChangeHandler())
        return;
    XEmbedTray().Changed = [] { TrayChanged(); };
    XEmbedTray().Start();
}

void RemoveAllTrayIcons() {
    for (auto& entry : Icons())
        entry.second->Withdraw();
    Icons().clear();
}

} // namespace vobrik
