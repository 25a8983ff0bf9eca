#include "platform/wx/TrayIcon.h"

#include "platform/wx/Resources.h"
#include "platform/wx/Window.h"
#include "platform/wx/WxText.h"

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/taskbar.h>

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

class TTrayIcon : public wxTaskBarIcon {
  public:
    TTrayIcon(TWindow* window, unsigned id) : Window(window), Id(id) {
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
        if (data.uFlags & NIF_ICON && data.hIcon != nullptr && data.hIcon->IsOk())
            Icons = data.hIcon->Images->Icons;
        if (data.uFlags & NIF_TIP)
            Tip = FromWindows1252(std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip)));
        return !Icons.IsEmpty() && SetIcon(wxBitmapBundle::FromIconBundle(Icons), Tip);
    }

    bool SetTip(const wxString& tip) {
        Tip = tip;
        return !Icons.IsEmpty() && SetIcon(wxBitmapBundle::FromIconBundle(Icons), Tip);
    }

  private:
    void Forward(const wxEventTypeTag<wxTaskBarIconEvent>& type, unsigned mouseMessage) {
        Bind(type, [this, mouseMessage](wxTaskBarIconEvent&) {
            if (CallbackMessage != 0 && Window != nullptr)
                Window->SendMessage(CallbackMessage, Id, static_cast<intptr_t>(mouseMessage));
        });
    }

    TWindow* Window;
    unsigned Id;
    wxIconBundle Icons;
    wxString Tip;
};

namespace {

using TKey = std::pair<TWindow*, unsigned>;

std::map<TKey, TTrayIcon*>& Icons() {
    static std::map<TKey, TTrayIcon*> icons;
    return icons;
}

void Remove(TTrayIcon* icon) {
    icon->RemoveIcon();
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
    return found != Icons().end() && found->second->SetTip(FromWindows1252(tip));
}

bool IsSystemTrayAvailable() {
    return wxTaskBarIcon::IsAvailable();
}

void RemoveAllTrayIcons() {
    for (auto& entry : Icons())
        entry.second->RemoveIcon();
    Icons().clear();
}

} // namespace vobrik
