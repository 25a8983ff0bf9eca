#pragma once

#include "platform/wx/Application.h"
#include "platform/wx/Window.h"

namespace vobrik {

class TVobrikApp : public TApplication {
  public:
    TVobrikApp() : TApplication("Vobrik") {}
    ~TVobrikApp() override = default;

    // The command line asked for a hidden start.
    bool HideOnStart = false;
    // The main frame has been sent to the tray, or is being sent there.
    bool MainHidden = true;
    // The user has confirmed quitting in the main dialog.
    bool QuitConfirmed = false;

    // A close request on the main frame only hides it, unless the frame is
    // already hidden, the user has confirmed quitting, or the program does not
    // have the focus (the session is ending). Without a tray, a frame on
    // screen is never taken for hidden.
    bool CanClose() override;
    // Asked to stop from outside while a dialog is open, the program stops
    // where it stands instead of answering the dialog.
    void EndSession() override;

  protected:
    void InitMainWindow() override;
};

// The running application object.
TVobrikApp* VobrikApp();

// Hides the frame into the tray. Without a notification area there would be
// no way back to a hidden frame, so it is minimised instead.
void SendFrameToTray(TWindow& frame);

// After a notification area has come or gone: the window manager may minimise
// the frame only without one, and a frame meant to be hidden goes where the
// tray now is.
void FollowTray(TWindow& frame, bool mainHidden);

} // namespace vobrik
