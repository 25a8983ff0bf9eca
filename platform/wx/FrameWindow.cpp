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
        Watches[fd] = std::make_unique<TFdWatch>(fd, forWriting, [this, fd] { Server.Ready(fd); });
    }
    void Unwatch(int fd) { Watches.erase(fd); }

    std::map<int, std::unique_ptr<TFdWatch>> Watches;
    TCommandServer Server;
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

} // namespace vobrik
