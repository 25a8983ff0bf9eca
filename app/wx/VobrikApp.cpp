#include "app/wx/VobrikApp.h"

#include "app/StartUp.h"
#include "app/wx/SDIDecFrame.h"
#include "platform/wx/TrayIcon.h"

#include <cstdlib>

namespace vobrik {

namespace {

constexpr int ProgramIcon = 1001;

} // namespace

TVobrikApp* VobrikApp() {
    return dynamic_cast<TVobrikApp*>(GetApplicationObject());
}

void SendFrameToTray(TWindow& frame) {
    frame.ShowWindow(IsSystemTrayAvailable() ? SW_HIDE : SW_MINIMIZE);
}

void FollowTray(TWindow& frame, bool mainHidden) {
    frame.AllowMinimize(!IsSystemTrayAvailable());
    if (mainHidden && frame.IsWindowVisible() == IsSystemTrayAvailable())
        SendFrameToTray(frame);
}

void TVobrikApp::InitMainWindow() {
    // Whether hidden means in the tray or minimised is known once the main
    // dialog has put up its icon.
    nCmdShow = AdjustShowCommand(nCmdShow, HideOnStart);

    auto* frame = new TSDIDecFrame(nullptr, GetName().c_str(), nullptr, false);
    frame->SetShrinkToClient(true);
    frame->Attr.Style = WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
    frame->SetIcon(ProgramIcon);
    frame->SetIconSm(ProgramIcon);
    SetMainWindow(frame);
    MainHidden = HideOnStart;
    EnableCtl3d(true);
}

bool TVobrikApp::CanClose() {
    if (!ProgramHasFocus())
        MainHidden = true;
    TFrameWindow* frame = GetMainWindow();
    if (frame == nullptr || !frame->IsWindowVisible()) {
        MainHidden = true;
        return true;
    }
    if (QuitConfirmed) {
        MainHidden = true;
        return true;
    }
    // Without a tray a frame on screen is the only way back to the program, so
    // it is shown, whatever brought it back (the window manager does, with a
    // window of ours or from its task bar) and whoever has the focus.
    if (!IsSystemTrayAvailable() && !frame->IsIconic())
        MainHidden = false;
    SendFrameToTray(*frame);
    if (!MainHidden) {
        MainHidden = true;
        return false;
    }
    return true;
}

void TVobrikApp::EndSession() {
    if (TModalScope::Depth() > 0) {
        // A modal dialog cannot be unwound from here without answering it, and
        // any answer would act on the user's reminders. Nothing unsaved is
        // held outside such a dialog, so the program stops where it stands.
        RemoveAllTrayIcons();
        std::_Exit(0);
    }
    TApplication::EndSession();
}

} // namespace vobrik
