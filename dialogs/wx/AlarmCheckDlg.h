#pragma once

#include "core/AlarmCheckXfer.h"
#include "dialogs/InputGuard.h"
#include "platform/wx/Controls.h"
#include "platform/wx/Window.h"

#include <memory>
#include <optional>
#include <string>

namespace vobrik {

class TInputFilter;
class TRingNotification;

constexpr int AlarmCheckTemplate = 2002;

// The ring dialog: shows a due reminder and gives the user's answer, one of
// the ring results, with the amount, the unit and "pour toutes les alarmes en
// cours" left in the buffer.
class TAlarmCheckDlg : public TDialog {
  public:
    TAlarmCheckDlg(TWindow* parent, TAlarmCheckXfer* xfer, int resId = AlarmCheckTemplate);
    // Also shown by the desktop's notification service, with this body
    // (UTF-8), once the dialog is set up.
    void NotifyDesktop(std::string body) { NotificationBody = std::move(body); }
    ~TAlarmCheckDlg() override;

    void SetupWindow() override;
    bool Find(TMessage& msg, intptr_t& result) override;

    void CmRemindIn();

    // Until then, keys and clicks aimed at the program are dropped.
    bool InputGuardOpen() const { return Guard && Guard->IsOpen(); }

  private:
    // Asks for a tick when the guard would open if no more input came.
    void WaitForGuard(int64_t now);
    void OnGuardTimer();

    const TAlarmCheckXfer* Xfer;
    std::optional<TInputGuard> Guard;
    std::unique_ptr<TInputFilter> Filter;
    std::string NotificationBody;
    std::unique_ptr<TRingNotification> Notification;
};

// Runs the ring dialog modally over parent on the buffer and gives its
// result; with a notification body, the desktop shows the ring too.
int RingAlarm(TWindow* parent, TAlarmCheckXfer& xfer, const std::string& notification = "");

} // namespace vobrik
