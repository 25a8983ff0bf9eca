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

void TVobrikApp::InitMainWindow() {
    nCmdShow = AdjustShowCommand(nCmdShow, HideOnStart);
    if (nCmdShow == SW_HIDE && !IsSystemTrayAvailable())
        nCmdShow = SW_SHOWMINNOACTIVE;

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
