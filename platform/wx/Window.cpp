#include "platform/wx/Window.h"

#include "platform/wx/EventSink.h"

#include "platform/CommandSocket.h"
#include "platform/SingleInstance.h"
#include "platform/wx/Application.h"
#include "platform/wx/Controls.h"
#include "platform/wx/FdWatch.h"
#include "platform/wx/Resources.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>

namespace vobrik {

bool ProgramHasFocus() {
    for (wxWindow* window : wxTopLevelWindows) {
        auto* top = dynamic_cast<wxTopLevelWindow*>(window);
        if (top != nullptr && top->IsShown() && top->IsActive())
            return true;
    }
    return false;
}

unsigned VirtualKeyOf(const wxKeyEvent& event) {
    const int code = event.GetKeyCode();
    // A letter with Ctrl or Alt is no plain letter: the toolkit itself runs
    // Alt+letter mnemonics.
    const bool plain = !event.HasAnyModifiers();
    switch (code) {
    case WXK_ESCAPE:
        return VK_ESCAPE;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        return VK_RETURN;
    case WXK_TAB:
        return VK_TAB;
    default:
        if (plain && ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z')))
            return static_cast<unsigned>(code);
        // Keys the program does not name keep a number of their own.
        return 0x10000u + static_cast<unsigned>(code);
    }
}

namespace {

class TWindowTimer : public wxTimer {
  public:
    TWindowTimer(TWindow& window, unsigned id) : Window(window), Id(id) {}
    void Notify() override { Window.SendMessage(WM_TIMER, Id, 0); }

  private:
    TWindow& Window;
    unsigned Id;
};

} // namespace

// ---------------------------------------------------------------------------
// TWindow

TWindow::TWindow(TWindow* parent, const char* title)
    : Parent(parent), Title(title != nullptr ? title : "") {
    if (parent != nullptr)
        parent->Children.push_back(this);
}

TWindow::~TWindow() {
    std::vector<TWindow*> children;
    children.swap(Children);
    for (TWindow* child : children) {
        child->Parent = nullptr;
        delete child;
    }
    if (Parent != nullptr) {
        auto& siblings = Parent->Children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    Timers.clear();
    wxWindow* handle = Handle;
    const bool owned = OwnsHandle;
    DetachHandle();
    if (handle != nullptr && owned)
        handle->Destroy();
}

TApplication* TWindow::GetApplication() const {
    return GetApplicationObject();
}

wxWindow* TWindow::MakeHandle(wxWindow* parent) {
    return new wxPanel(parent);
}

bool TWindow::Create() {
    return CreateUnder(Parent != nullptr ? Parent->GetHandle() : nullptr);
}

bool TWindow::CreateUnder(wxWindow* parent) {
    if (Handle != nullptr)
        return true;
    wxWindow* handle = MakeHandle(parent);
    if (handle == nullptr)
        return false;
    AttachHandle(handle, handle->IsTopLevel());
    SetupWindow();
    return true;
}

void TWindow::AttachHandle(wxWindow* handle, bool owned) {
    Handle = handle;
    OwnsHandle = owned;
    Sink = std::make_unique<TEventSink>(*this);
    Handle->Bind(wxEVT_DESTROY, &TEventSink::OnDestroy, Sink.get());
}

void TWindow::DetachHandle() {
    Handle = nullptr;
    OwnsHandle = false;
    Sink.reset();
}

TEventSink& TWindow::Events() {
    return *Sink;
}

void TWindow::EvClose(wxCloseEvent& event) {
    if (CanClose() || !event.CanVeto())
        Destroy();
    else
        event.Veto();
}

void TWindow::OnHandleDestroyed() {
    for (auto& timer : Timers)
        timer.second->Stop();
    // The sink is running this; it stays until the object goes or is bound again.
    Handle = nullptr;
    OwnsHandle = false;
}

void TWindow::SetupWindow() {}

void TWindow::Destroy(int) {
    wxWindow* handle = Handle;
    if (handle == nullptr)
        return;
    for (auto& timer : Timers)
        timer.second->Stop();
    DetachHandle();
    handle->Hide();
    // Deleting a window inside one of its own event handlers would pull the
    // ground from under the toolkit; it goes at the next idle time.
    if (handle->IsTopLevel())
        handle->Destroy();
    else
        wxTheApp->ScheduleForDestruction(handle);
}

bool TWindow::CanClose() {
    return true;
}

void TWindow::CloseWindow(int retValue) {
    if (CanClose())
        Destroy(retValue);
}

bool TWindow::PreProcessMsg(TMessage&) {
    return false;
}

bool TWindow::Find(TMessage&, intptr_t&) {
    return false;
}

intptr_t TWindow::HandleMessage(TMessage msg) {
    intptr_t result = 0;
    if (!Find(msg, result))
        DefaultProcessing();
    return result;
}

intptr_t TWindow::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    return HandleMessage({msg, wParam, lParam});
}

bool TWindow::ShowWindow(int cmdShow) {
    if (Handle == nullptr)
        return false;
    const bool wasVisible = Handle->IsShown();
    auto* top = dynamic_cast<wxTopLevelWindow*>(Handle);
    switch (cmdShow) {
    case SW_HIDE:
        Handle->Hide();
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        // Iconised before it is mapped, so that it never flashes up first.
        if (top != nullptr)
            top->Iconize(true);
        Handle->Show();
        break;
    case SW_SHOWMAXIMIZED:
        Handle->Show();
        if (top != nullptr)
            top->Maximize(true);
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if (top != nullptr && top->IsIconized())
            top->Iconize(false);
        if (top != nullptr && top->IsMaximized())
            top->Maximize(false);
        Handle->Show();
        break;
    default:
        Handle->Show();
        break;
    }
    return wasVisible;
}

bool TWindow::IsWindowVisible() const {
    return Handle != nullptr && Handle->IsShown();
}

bool TWindow::IsIconic() const {
    auto* top = dynamic_cast<wxTopLevelWindow*>(Handle);
    return top != nullptr && top->IsIconized();
}

void TWindow::AllowMinimize(bool allow) {
    auto* top =
        dynamic_cast<wxTopLevelWindow*>(Handle != nullptr ? wxGetTopLevelParent(Handle) : nullptr);
    if (top == nullptr)
        return;
    const long style = top->GetWindowStyleFlag();
    top->SetWindowStyleFlag(allow ? style | wxMINIMIZE_BOX : style & ~wxMINIMIZE_BOX);
    // The toolkit hands the window manager its hints only as the window is
    // first realised.
    top->m_gdkFunc =
        allow ? top->m_gdkFunc | GDK_FUNC_MINIMIZE : top->m_gdkFunc & ~GDK_FUNC_MINIMIZE;
    top->m_gdkDecor =
        allow ? top->m_gdkDecor | GDK_DECOR_MINIMIZE : top->m_gdkDecor & ~GDK_DECOR_MINIMIZE;
    if (GdkWindow* window = gtk_widget_get_window(top->GetHandle())) {
        gdk_window_set_functions(window, static_cast<GdkWMFunction>(top->m_gdkFunc));
        gdk_window_set_decorations(window, static_cast<GdkWMDecoration>(top->m_gdkDecor));
    }
}

void TWindow::BringWindowToTop() {
    if (Handle != nullptr)
        wxGetTopLevelParent(Handle)->Raise();
}

void TWindow::SetForegroundWindow() {
    if (Handle == nullptr)
        return;
    wxWindow* top = wxGetTopLevelParent(Handle);
    top->Raise();
    top->SetFocus();
}

unsigned TWindow::SetTimer(unsigned id, unsigned milliseconds) {
    if (Handle == nullptr || id == 0)
        return 0;
    auto& timer = Timers[id];
    if (!timer)
        timer = std::make_unique<TWindowTimer>(*this, id);
    return timer->Start(static_cast<int>(std::max(1u, milliseconds))) ? id : 0;
}

bool TWindow::KillTimer(unsigned id) {
    // The timer object stays: this may run inside its own tick.
    const auto found = Timers.find(id);
    if (found == Timers.end() || !found->second->IsRunning())
        return false;
    found->second->Stop();
    return true;
}

} // namespace vobrik
