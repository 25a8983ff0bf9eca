#include "app/wx/VobrikApp.h"

#include "app/StartUp.h"
#include "app/wx/SDIDecFrame.h"
#include "platform/wx/TrayIcon.h"

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

} // namespace vobrik
