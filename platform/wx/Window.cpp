#include "platform/wx/Window.h"

#include "platform/SingleInstance.h"
#include "platform/wx/Application.h"
#include "platform/wx/Controls.h"
#include "platform/wx/FdWatch.h"
#include "platform/wx/Resources.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/frame.h>
#include <wx/panel.h>
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

namespace {

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

// The letter after the single '&' of a label, upper-cased; 0 for none.
wxUniChar MnemonicOf(const wxString& label) {
    for (size_t i = 0; i + 1 < label.length(); ++i) {
        if (label[i] != '&')
            continue;
        if (label[i + 1] != '&')
            return wxToupper(label[i + 1]);
        ++i;
    }
    return 0;
}

// Buttons, check boxes and radio buttons take no letters of their own.
bool TakesNoLetters(wxWindow* window) {
    return dynamic_cast<wxButton*>(window) != nullptr ||
           dynamic_cast<wxCheckBox*>(window) != nullptr ||
           dynamic_cast<wxRadioButton*>(window) != nullptr;
}

// The focus starts on the first control in the template's order that takes
// it, not where the toolkit would put it by position.
void FocusFirstControl(wxWindow* panel) {
    for (wxWindow* control : panel->GetChildren())
        if (control->IsShown() && control->IsEnabled() && control->AcceptsFocusFromKeyboard()) {
            control->SetFocus();
            return;
        }
}

} // namespace

// Receives the toolkit's events for the window a TWindow is bound to. Being
// a wxEvtHandler, it is unbound from that window when it is destroyed, so no
// event reaches a TWindow that has let its window go.
class TEventSink : public wxEvtHandler {
  public:
    explicit TEventSink(TWindow& owner) : Owner(owner) {}

    void OnDestroy(wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() == Owner.Handle)
            Owner.OnHandleDestroyed();
    }
    void OnClose(wxCloseEvent& event) { Owner.EvClose(event); }
    void OnIconize(wxIconizeEvent& event) {
        event.Skip();
        Owner.SendMessage(WM_SIZE, event.IsIconized() ? SIZE_MINIMIZED : SIZE_RESTORED, 0);
    }
    void OnCharHook(wxKeyEvent& event) {
        TMessage msg{WM_KEYDOWN, VirtualKeyOf(event), 0};
        // A key the window used goes no further. One it did not use goes on
        // to the toolkit, which moves the focus on Tab and the arrows and
        // hands everything else to the focused control.
        if (!Owner.PreProcessMsg(msg))
            event.Skip();
    }
    void OnCommand(wxCommandEvent& event) {
        unsigned notify = BN_CLICKED;
        const wxEventType type = event.GetEventType();
        if (type == wxEVT_LISTBOX)
            notify = LBN_SELCHANGE;
        else if (type == wxEVT_LISTBOX_DCLICK)
            notify = LBN_DBLCLK;
        else if (type == wxEVT_TEXT)
            notify = EN_CHANGE;
        if (event.GetId() < 0)
            return;
        Owner.SendMessage(WM_COMMAND, MakeWParam(static_cast<unsigned>(event.GetId()), notify), 0);
    }

  private:
    TWindow& Owner;
};

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

// ---------------------------------------------------------------------------
// TFrameWindow

// Answers the lookup of a second copy of the program and the commands of the
// terminal from the message loop: a "show" request brings the frame forward.
class TFrameWindow::TFinder {
  public:
    explicit TFinder(TFrameWindow& frame)
        : Server(
              frame.Title.c_str(),
              [&frame] {
                  frame.BringWindowToTop();
                  frame.ShowWindow(SW_SHOW);
                  frame.ShowWindow(SW_RESTORE);
                  frame.SetForegroundWindow();
              },
              [this](int fd, bool forWriting) { Watch(fd, forWriting); },
              [this](int fd) { Unwatch(fd); }) {}

  private:
    void Watch(int fd, bool forWriting) {
        Unwatch(fd);
        // Inside a modal window the reminders are in use: a command is
        // refused rather than applied under the editor or a ring.
        Watches[fd] = std::make_unique<TFdWatch>(
            fd, forWriting, [this, fd] { Server.Ready(fd, TModalScope::Depth() > 0); });
    }
    void Unwatch(int fd) { Watches.erase(fd); }

    std::map<int, std::unique_ptr<TFdWatch>> Watches;
    TWindowLookupServer Server;
};

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* client, bool shrinkToClient)
    : TWindow(parent, title), ShrinkToClient(shrinkToClient) {
    Attr.Style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    SetClientWindow(client);
}

TFrameWindow::~TFrameWindow() {
    Finder.reset();
    // The client goes first, while the frame exists; it no longer reaches
    // back to the frame, which is going anyway.
    if (ClientWnd != nullptr)
        ClientWnd->Parent = nullptr;
    ClientWnd.reset();
}

void TFrameWindow::SetClientWindow(TWindow* client) {
    ClientWnd.reset(client);
    if (client != nullptr)
        client->Parent = this;
}

wxWindow* TFrameWindow::MakeHandle(wxWindow* parent) {
    long style = wxCLIP_CHILDREN;
    if ((Attr.Style & WS_CAPTION) == WS_CAPTION)
        style |= wxCAPTION;
    if (Attr.Style & WS_SYSMENU)
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (Attr.Style & WS_THICKFRAME)
        style |= wxRESIZE_BORDER;
    if (Attr.Style & WS_MINIMIZEBOX)
        style |= wxMINIMIZE_BOX;
    if (Attr.Style & WS_MAXIMIZEBOX)
        style |= wxMAXIMIZE_BOX;
    if (Attr.ExStyle & WS_EX_TOPMOST)
        style |= wxSTAY_ON_TOP;
    auto* frame = new wxFrame(parent, wxID_ANY, FromWindows1252(Title), wxDefaultPosition,
                              wxDefaultSize, style);

    return frame;
}

void TFrameWindow::EvClose(wxCloseEvent& event) {
    TApplication* app = GetApplication();
    const bool main = app != nullptr && app->GetMainWindow() == this;
    const bool agreed = main ? app->CanClose() : CanClose();
    if (agreed || !event.CanVeto())
        Destroy();
    else
        event.Veto();
}

void TFrameWindow::SetupWindow() {
    wxWindow* frame = GetHandle();
    frame->Bind(wxEVT_CLOSE_WINDOW, &TEventSink::OnClose, &Events());
    frame->Bind(wxEVT_ICONIZE, &TEventSink::OnIconize, &Events());
    frame->Bind(wxEVT_CHAR_HOOK, &TEventSink::OnCharHook, &Events());
    TWindow::SetupWindow();
    // Found by a second copy from now on; it is answered once the message loop runs.
    TApplication* app = GetApplication();
    if (app != nullptr && app->GetMainWindow() == this)
        Finder = std::make_unique<TFinder>(*this);
    // The client is set up while the frame is being created, so that it can
    // still decide how the frame is first shown.
    if (ClientWnd != nullptr && ClientWnd->CreateUnder(frame) && ShrinkToClient &&
        ClientWnd->IsWindow())
        frame->SetClientSize(ClientWnd->GetHandle()->GetSize());
    ApplyIcons();
}

void TFrameWindow::ApplyIcons() {
    auto* frame = dynamic_cast<wxFrame*>(GetHandle());
    if (frame == nullptr)
        return;
    wxIconBundle icons;
    for (const int group : {BigIcon, SmallIcon}) {
        if (group == 0)
            continue;
        const wxIconBundle images = LoadIconGroup(group);
        for (size_t i = 0; i < images.GetIconCount(); ++i)
            icons.AddIcon(images.GetIconByIndex(i));
    }
    if (!icons.IsEmpty())
        frame->SetIcons(icons);
}

void TFrameWindow::SetIcon(int iconGroup) {
    BigIcon = iconGroup;
    ApplyIcons();
}

void TFrameWindow::SetIconSm(int iconGroup) {
    SmallIcon = iconGroup;
    ApplyIcons();
}

bool TFrameWindow::PreProcessMsg(TMessage& msg) {
    return ClientWnd != nullptr && ClientWnd->IsWindow() && ClientWnd->PreProcessMsg(msg);
}

void TFrameWindow::Destroy(int retValue) {
    TApplication* app = GetApplication();
    const bool main = app != nullptr && app->GetMainWindow() == this;
    Finder.reset();
    TWindow::Destroy(retValue);
    if (main)
        wxTheApp->ExitMainLoop();
}

void TFrameWindow::ClientEnded() {
    if (auto* frame = dynamic_cast<wxFrame*>(GetHandle()))
        frame->Close();
}

// ---------------------------------------------------------------------------
// TDialog

class TDialog::TShell : public wxDialog {
  public:
    TShell(wxWindow* owner, const wxString& caption, long style)
        : wxDialog(owner, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style) {}
};

TDialog::TDialog(TWindow* parent, int resId) : TWindow(parent), ResId(resId) {}

TDialog::~TDialog() {
    if (Shell != nullptr) {
        TShell* shell = Shell;
        Shell = nullptr;
        DetachHandle();
        shell->Destroy();
    }
}

TControl* TDialog::GetControl(int id) const {
    for (TControl* control : Controls)
        if (control->GetId() == id)
            return control;
    return nullptr;
}

wxWindow* TDialog::MakeHandle(wxWindow* parent) {
    if (!WantShell)
        return LoadTemplate(parent, ResId);

    wxWindow* owner = parent != nullptr ? wxGetTopLevelParent(parent) : nullptr;
    auto* shell = new TShell(owner, TemplateCaption(ResId), TemplateDialogStyle(ResId));
    wxPanel* panel = LoadTemplate(shell, ResId);
    if (panel == nullptr) {
        shell->Destroy();
        return nullptr;
    }
    shell->SetClientSize(panel->GetSize());
    // The owner may be hidden in the tray; the screen is always there.
    shell->CentreOnScreen();
    Shell = shell;
    return panel;
}

void TDialog::SetupWindow() {
    wxWindow* panel = GetHandle();
    TEventSink* sink = &Events();
    panel->Bind(wxEVT_BUTTON, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_CHECKBOX, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_RADIOBUTTON, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_LISTBOX, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_LISTBOX_DCLICK, &TEventSink::OnCommand, sink);
    panel->Bind(wxEVT_TEXT, &TEventSink::OnCommand, sink);
    if (Shell != nullptr) {
        Shell->Bind(wxEVT_CLOSE_WINDOW, &TEventSink::OnClose, &Events());
        Shell->Bind(wxEVT_CHAR_HOOK, &TEventSink::OnCharHook, &Events());
    }
    TWindow::SetupWindow();
    for (TControl* control : Controls)
        control->Attach(panel);
    TransferData(TTransferDirection::SetData);
    if (Shell == nullptr)
        FocusFirstControl(panel);
}

void TDialog::TransferData(TTransferDirection direction) {
    if (TransferBuffer == nullptr)
        return;
    // The buffer is a struct with one member per control, in construction order.
    auto* buffer = static_cast<unsigned char*>(TransferBuffer);
    size_t offset = 0;
    for (TControl* control : Controls) {
        if (!control->IsTransferEnabled())
            continue;
        const size_t alignment = control->TransferAlignment();
        offset = (offset + alignment - 1) / alignment * alignment;
        offset += control->Transfer(buffer + offset, direction);
    }
}

int TDialog::Execute() {
    WantShell = true;
    Ended = false;
    Result = 0;
    if (!CreateUnder(Parent != nullptr ? Parent->GetHandle() : nullptr))
        return -1;
    FocusFirstControl(GetHandle());
    if (!Ended) {
        Modal = true;
        TModalScope scope;
        Shell->ShowModal();
        Modal = false;
    }
    TShell* shell = Shell;
    Shell = nullptr;
    DetachHandle();
    if (shell != nullptr)
        shell->Destroy();
    WantShell = false;
    return Result;
}

bool TDialog::Create() {
    WantShell = true;
    Ended = false;
    if (!TWindow::Create())
        return false;
    if (Shell != nullptr)
        Shell->Show();
    return true;
}

void TDialog::CloseWindow(int retValue) {
    if (CanClose()) {
        TransferData(TTransferDirection::GetData);
        Destroy(retValue);
    }
}

void TDialog::Destroy(int retValue) {
    Result = retValue;
    Ended = true;
    if (Shell != nullptr) {
        if (Modal) {
            Shell->EndModal(retValue);
            return;
        }
        TShell* shell = Shell;
        Shell = nullptr;
        DetachHandle();
        shell->Destroy();
        return;
    }
    if (!IsWindow())
        return;
    TWindow::Destroy(retValue);
    // A frame's client that has ended takes the frame with it.
    if (auto* frame = dynamic_cast<TFrameWindow*>(Parent); frame != nullptr && frame->IsWindow())
        frame->ClientEnded();
}

void TDialog::EvClose(wxCloseEvent& event) {
    // A dialog box without a close box is left only through its buttons, so a
    // close request from the window manager (Alt+F4) answers nothing.
    if (Shell != nullptr && !Shell->HasFlag(wxCLOSE_BOX) && event.CanVeto()) {
        event.Veto();
        return;
    }
    // The close box of a dialog box is its cancel button.
    SendMessage(WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
}

void TDialog::CmOk() {
    CloseWindow(IDOK);
}

void TDialog::CmCancel() {
    // The buffer is brought up to date whatever the answer, so that the caller
    // can read every field after any result.
    TransferData(TTransferDirection::GetData);
    Destroy(IDCANCEL);
}

bool TDialog::Find(TMessage& msg, intptr_t& result) {
    if (msg.Msg == WM_COMMAND && HiWord(msg.WParam) == BN_CLICKED) {
        if (LoWord(msg.WParam) == IDOK) {
            CmOk();
            return true;
        }
        if (LoWord(msg.WParam) == IDCANCEL) {
            CmCancel();
            return true;
        }
    }
    return TWindow::Find(msg, result);
}

void TDialog::ClickButton(int id) {
    wxWindow* button = GetHandle() != nullptr ? GetHandle()->FindWindow(id) : nullptr;
    if (button != nullptr && !button->IsEnabled())
        return;
    SendMessage(WM_COMMAND, MakeWParam(static_cast<unsigned>(id), BN_CLICKED), 0);
}

bool TDialog::PressMnemonic(unsigned key) {
    wxWindow* focus = wxWindow::FindFocus();
    if (!TakesNoLetters(focus) || !GetHandle()->IsDescendant(focus))
        return false;
    // One button with the letter is pressed; among several, the focus moves
    // to the next of them.
    std::vector<wxWindow*> marked;
    size_t next = 0;
    for (wxWindow* child : GetHandle()->GetChildren()) {
        if (child == focus)
            next = marked.size();
        auto* button = dynamic_cast<wxButton*>(child);
        if (button != nullptr && button->IsShown() && button->IsEnabled() &&
            MnemonicOf(button->GetLabel()) == key)
            marked.push_back(button);
    }
    if (marked.size() == 1)
        ClickButton(marked.front()->GetId());
    else if (!marked.empty())
        marked[(next < marked.size() && marked[next] == focus ? next + 1 : next) % marked.size()]
            ->SetFocus();
    return !marked.empty();
}

bool TDialog::PreProcessMsg(TMessage& msg) {
    if (msg.Msg != WM_KEYDOWN || GetHandle() == nullptr)
        return false;
    // With the focus on a button, a plain letter presses the button it marks.
    if ((msg.WParam >= 'A' && msg.WParam <= 'Z') || (msg.WParam >= '0' && msg.WParam <= '9'))
        return PressMnemonic(static_cast<unsigned>(msg.WParam));
    if (msg.WParam == VK_ESCAPE) {
        ClickButton(IDCANCEL);
        return true;
    }
    if (msg.WParam == VK_RETURN) {
        // Enter presses the push button that has the focus, or else the
        // default button.
        wxWindow* focus = wxWindow::FindFocus();
        if (auto* button = dynamic_cast<wxButton*>(focus);
            button != nullptr && GetHandle()->IsDescendant(button)) {
            ClickButton(button->GetId());
            return true;
        }
        auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(GetHandle()));
        wxWindow* chosen = top != nullptr ? top->GetDefaultItem() : nullptr;
        if (chosen != nullptr && GetHandle()->IsDescendant(chosen))
            ClickButton(chosen->GetId());
        else if (GetHandle()->FindWindow(IDOK) != nullptr)
            ClickButton(IDOK); // a template without a default button defaults to OK
        return true;
    }
    return false;
}

} // namespace vobrik
