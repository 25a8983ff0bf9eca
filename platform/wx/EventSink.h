#pragma once

// What the window classes of this folder share: the receiver of the toolkit's
// events for a TWindow.

#include "platform/wx/Window.h"

#include <wx/event.h>
#include <wx/window.h>

namespace vobrik {

// The Win32 virtual key of a key event.
unsigned VirtualKeyOf(const wxKeyEvent& event);

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

} // namespace vobrik
