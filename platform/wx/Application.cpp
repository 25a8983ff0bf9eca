#include "platform/wx/Application.h"

#include "platform/Text1252.h"
#include "platform/wx/Resources.h"
#include "platform/wx/RingNotification.h"
#include "platform/wx/WxText.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <syslog.h>

namespace vobrik {

namespace {

TApplication* Running = nullptr;
bool ToolkitRunning = false;
int ModalDepth = 0;
std::function<void()> AllClosed; // see TModalScope::WhenAllClosed

// The toolkit wants an application object of its own; the program's is the
// TApplication, which drives this one.
class TToolkitApp : public wxApp {
  public:
    bool OnInit() override { return true; }
};

void OnStopSignal(int) {
    if (Running != nullptr)
        Running->EndSession();
}

int ShowMessageBox(wxWindow* owner, const char* text, const char* caption, unsigned type) {
    const bool question = (type & 0xF) == MB_YESNO;
    long style = question ? (wxYES_NO | wxYES_DEFAULT) : wxOK;
    style |= wxICON_NONE;
    wxMessageDialog box(owner, FromWindows1252(text), FromWindows1252(caption), style);
    if (question)
        box.SetYesNoLabels("&Oui", "&Non");
    TModalScope scope;
    const int answer = box.ShowModal();
    if (question)
        return answer == wxID_YES ? IDYES : IDNO;
    return IDOK;
}

} // namespace

bool StartToolkit() {
    if (ToolkitRunning)
        return true;
    // GTK's X11 backend works under XWayland too, and only there do popup
    // positions, always-on-top windows and the notification area behave.
    ::setenv("GDK_BACKEND", "x11", 1);
    // Nothing here draws with OpenGL, yet GTK, as the first client of an X
    // server, loads the GL driver (and LLVM with it) just to choose its
    // visuals: some 10 MiB kept for the whole session. A user's own choice
    // stands.
    ::setenv("GDK_GL", "disable", 0);
    static char name[] = "vobrik";
    static char* argv[] = {name, nullptr};
    static int argc = 1;
    wxApp::SetInstance(new TToolkitApp);
    if (!wxEntryStart(argc, argv))
        return false;
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return false;
    }
    wxTheApp->SetAppName("vobrik");
    wxTheApp->SetAppDisplayName("Vobrik");
    RegisterResources();
    ToolkitRunning = true;
    return true;
}

void StopToolkit() {
    if (!ToolkitRunning)
        return;
    ToolkitRunning = false;
    wxTheApp->OnExit();
    wxEntryCleanup();
}

TModalScope::TModalScope() {
    ++ModalDepth;
}
TModalScope::~TModalScope() {
    if (--ModalDepth == 0 && AllClosed && wxTheApp != nullptr)
        wxTheApp->CallAfter([] {
            if (ModalDepth == 0 && AllClosed)
                AllClosed();
        });
}
void TModalScope::WhenAllClosed(std::function<void()> handler) {
    AllClosed = std::move(handler);
}
int TModalScope::Depth() {
    return ModalDepth;
}

int TApplication::InitCmdShow = SW_SHOWNORMAL;

TApplication::TApplication(const char* name) : nCmdShow(InitCmdShow), Name(name) {}

TApplication::~TApplication() {
    MainWindow.reset();
    if (Running == this)
        Running = nullptr;
    StopToolkit();
}

TApplication* GetApplicationObject() {
    return Running;
}

void TApplication::SetMainWindow(TFrameWindow* window) {
    MainWindow.reset(window);
}

void TApplication::InitMainWindow() {}

bool TApplication::CanClose() {
    return MainWindow == nullptr || MainWindow->CanClose();
}

int TApplication::Run() {
    if (!StartToolkit()) {
        // Started from the menu or at log-in, nobody reads the error output:
        // the desktop's notifications and the system journal need no display.
        const std::string why = "aucun affichage n'a pu être ouvert (DISPLAY) : Vobrik a besoin "
                                "de X11 ; sous Wayland, activez XWayland, ou ouvrez une session "
                                "X11. Vos alarmes ne sonneront pas.";
        std::fprintf(stderr, "vobrik : %s\n", why.c_str());
        openlog("vobrik", LOG_PID, LOG_USER);
        syslog(LOG_ERR, "%s", why.c_str());
        closelog();
        NotifyDesktop("Vobrik ne peut pas démarrer", why);
        return 1;
    }
    Running = this;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        wxTheApp->SetSignalHandler(signal, &OnStopSignal);

    InitMainWindow();
    if (MainWindow == nullptr || !MainWindow->Create()) {
        Running = nullptr;
        return 1;
    }
    if (MainWindow->IsWindow()) {
        MainWindow->ShowWindow(nCmdShow);
        wxTheApp->SetTopWindow(MainWindow->GetHandle());
    }
    const int status = MainWindow->IsWindow() ? wxTheApp->OnRun() : 0;
    // The windows' own destructors remove what they showed, such as a tray icon.
    MainWindow.reset();
    Running = nullptr;
    return status;
}

void TApplication::EndSession() {
    if (MainWindow != nullptr && MainWindow->IsWindow())
        MainWindow->Destroy();
    else
        wxTheApp->ExitMainLoop();
}

int TApplication::MessageBox(TWindow* owner, const char* text, const char* caption, unsigned type) {
    return ShowMessageBox(owner != nullptr ? owner->GetHandle() : nullptr, text, caption, type);
}

int MessageBoxOver(wxWindow* owner, const char* text, const char* caption, unsigned type) {
    return ShowMessageBox(owner, text, caption, type);
}

void MessageBeep() {
    wxBell();
}

int MessageBoxWithoutOwner(const char* text, const char* caption, unsigned type) {
    const bool wasRunning = ToolkitRunning;
    if (!StartToolkit()) {
        std::fprintf(stderr, "%s: %s\n", Utf8FromWindows1252(caption).c_str(),
                     Utf8FromWindows1252(text).c_str());
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
    const int answer = ShowMessageBox(nullptr, text, caption, type);
    if (!wasRunning)
        StopToolkit();
    return answer;
}

} // namespace vobrik
