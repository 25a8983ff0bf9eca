#include "dialogs/wx/AlarmCheckDlg.h"

#include "core/Services.h"
#include "platform/ControlIds.h"
#include "platform/ResponseTable.h"
#include "platform/Text1252.h"
#include "platform/wx/Accessible.h"
#include "platform/wx/InputFilter.h"
#include "platform/wx/RingNotification.h"

#include <wx/toplevel.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vobrik {

namespace {

constexpr unsigned GuardTimerId = 1;

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TAlarmCheckDlg::TAlarmCheckDlg(TWindow* parent, TAlarmCheckXfer* xfer, int resId)
    : TDialog(parent, resId), Xfer(xfer) {
    SetTransferBuffer(xfer);
    // A static takes no part in transfer unless asked.
    (new TStatic(this, RingDlgIds::Message, sizeof xfer->Message))->EnableTransfer();
    new TEdit(this, RingDlgIds::Delay, sizeof xfer->Delay);
    new TRadioButton(this, RingDlgIds::Days);
    new TRadioButton(this, RingDlgIds::Hours);
    new TRadioButton(this, RingDlgIds::Minutes);
    new TCheckBox(this, RingDlgIds::ForAll);
}

TAlarmCheckDlg::~TAlarmCheckDlg() {
    if (IsWindow())
        Destroy(IDCANCEL);
}

bool TAlarmCheckDlg::Find(TMessage& msg, intptr_t& result) {
    using T = TAlarmCheckDlg;
    static const TResponseTable<T> table{
        EvBnClicked<&T::CmRemindIn>(RingDlgIds::RemindIn),
        EvMessage<&T::OnGuardTimer>(WM_TIMER),
    };
    return table.Dispatch(*this, msg, result) || TDialog::Find(msg, result);
}

void TAlarmCheckDlg::SetupWindow() {
    TDialog::SetupWindow();
    SetForegroundWindow();
    // Announced as it appears, with the reminder's message.
    DescribeForScreenReaders(wxGetTopLevelParent(GetHandle()),
                             Utf8FromWindows1252(std::string_view(
                                 Xfer->Message, strnlen(Xfer->Message, sizeof Xfer->Message))),
                             true);

    // Keys and clicks made as the reminder falls due, a key held down among
    // them, must not answer it. They are dropped from now until the guard
    // opens; the dialog shows meanwhile and the program goes on drawing.
    const int64_t now = MonotonicMs();
    Guard.emplace(now);
    Filter = std::make_unique<TInputFilter>([this] { return Guard->Discard(MonotonicMs()); });
    WaitForGuard(now);
    // An answer given in the notification is given by the dialog's button.
    if (!NotificationBody.empty())
        Notification =
            std::make_unique<TRingNotification>(NotificationBody, [this](const std::string& key) {
                ClickButton(key == "valider" ? RingAcknowledge : RingRemindTomorrow);
            });
}

void TAlarmCheckDlg::WaitForGuard(int64_t now) {
    SetTimer(GuardTimerId, static_cast<unsigned>(std::max<int64_t>(1, Guard->OpensAt() - now)));
}

void TAlarmCheckDlg::OnGuardTimer() {
    KillTimer(GuardTimerId);
    const int64_t now = MonotonicMs();
    if (Guard->Check(now))
        Filter.reset();
    else
        WaitForGuard(now);
}

void TAlarmCheckDlg::CmRemindIn() {
    CloseWindow(RingRemindIn);
}

int RingAlarm(TWindow* parent, TAlarmCheckXfer& xfer, const std::string& notification) {
    TAlarmCheckDlg dialog(parent, &xfer, AlarmCheckTemplate);
    dialog.NotifyDesktop(notification);
    return dialog.Execute();
}

} // namespace vobrik
