#include "app/wx/SDIDecFrame.h"

#include "app/wx/VobrikApp.h"
#include "app/wx/VobrikDlgClient.h"
#include "platform/ResponseTable.h"

namespace vobrik {

namespace {

constexpr int MainDialogTemplate = 2000;

} // namespace

TSDIDecFrame::TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                           bool trackMenuSelection)
    : TDecoratedFrame(parent, title,
                      clientWnd != nullptr ? clientWnd
                                           : new TVobrikDlgClient(nullptr, MainDialogTemplate),
                      trackMenuSelection) {}

bool TSDIDecFrame::Find(TMessage& msg, intptr_t& result) {
    static const TResponseTable<TSDIDecFrame> table{
        EvMessage<&TSDIDecFrame::EvSize>(WM_SIZE),
    };
    return table.Dispatch(*this, msg, result) || TDecoratedFrame::Find(msg, result);
}

void TSDIDecFrame::EvSize(uintptr_t kind, intptr_t) {
    // Without a notification area the frame goes to the task bar instead of the
    // tray; brought back from there by the window manager, it is shown again
    // as surely as by a click on the tray icon.
    if (kind == SIZE_MINIMIZED) {
        Minimised = true;
    } else if (kind == SIZE_RESTORED && Minimised) {
        Minimised = false;
        if (TVobrikApp* app = VobrikApp(); app != nullptr && IsWindowVisible())
            app->MainHidden = false;
    }
}

} // namespace vobrik
