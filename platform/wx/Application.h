#pragma once

// The application object: it starts the toolkit, builds the main window, runs
// the message loop until that window is gone, and answers close requests.

#include "platform/wx/InertCalls.h"
#include "platform/wx/Window.h"

#include <functional>
#include <memory>
#include <string>

class wxWindow;

namespace vobrik {

class TApplication : public TInertCalls {
  public:
    explicit TApplication(const char* name);
    virtual ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The show command the program was started with.
    static int InitCmdShow;
    // The show command the main window gets once it has been created.
    int nCmdShow;

    const std::string& GetName() const { return Name; }

    // Creates the main window, shows it with nCmdShow, and runs the message
    // loop until it is destroyed. Gives the exit code.
    int Run();

    // Asked on every close request of the main window.
    virtual bool CanClose();
    // Builds the main window; called by Run before the window is created.
    virtual void InitMainWindow();
    // The program is asked to stop from outside (SIGTERM, SIGHUP, SIGINT).
    // Ends the program without asking: the main window goes, and the message
    // loop with it. What to do about a modal dialog open then is the
    // program's to decide.
    virtual void EndSession();

    // Takes ownership.
    void SetMainWindow(TFrameWindow* window);
    TFrameWindow* GetMainWindow() const { return MainWindow.get(); }

    // Texts are Windows-1252. Types MB_OK or MB_YESNO; gives IDOK, IDYES or IDNO.
    int MessageBox(TWindow* owner, const char* text, const char* caption, unsigned type);

  private:
    std::string Name;
    std::unique_ptr<TFrameWindow> MainWindow;
};

// The application object that is running, if any.
TApplication* GetApplicationObject();

// A message box over a toolkit window that is not a TWindow of its own.
int MessageBoxOver(wxWindow* owner, const char* text, const char* caption, unsigned type);

// A message box with no owner window, usable before any application object
// exists; it starts the toolkit for itself when needed. Windows-1252 texts.
int MessageBoxWithoutOwner(const char* text, const char* caption, unsigned type);

// The exclamation beep.
void MessageBeep();

// Starts the toolkit once per process, on the X11 backend. False when no
// display can be opened.
bool StartToolkit();
// Stops it again at the end of the program.
void StopToolkit();

// Counts modal loops, which a request to stop from outside cannot unwind.
class TModalScope {
  public:
    TModalScope();
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;
    static int Depth();
    // Runs `handler` from the message loop each time the last modal window
    // has closed: after the code that opened it has gone on, never inside it.
    static void WhenAllClosed(std::function<void()> handler);
};

} // namespace vobrik
