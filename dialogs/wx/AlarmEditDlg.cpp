#include "dialogs/wx/AlarmEditDlg.h"

#include "core/Services.h"
#include "platform/ControlIds.h"
#include "platform/wx/Controls.h"

namespace vobrik {

TAlarmEditDlg::TAlarmEditDlg(TWindow* parent, TAlarmEditXfer* xfer, int resId)
    : TDialog(parent, resId) {
    SetTransferBuffer(xfer);
    (new TEdit(this, EditDlgIds::Message, sizeof xfer->Message))->LimitText(EditMessageChars);
    new TEdit(this, EditDlgIds::Day, sizeof xfer->Day);
    new TEdit(this, EditDlgIds::Month, sizeof xfer->Month);
    new TEdit(this, EditDlgIds::Year, sizeof xfer->Year);
    new TEdit(this, EditDlgIds::Hour, sizeof xfer->Hour);
    new TEdit(this, EditDlgIds::Minute, sizeof xfer->Minute);
    new TRadioButton(this, EditDlgIds::Once);
    new TRadioButton(this, EditDlgIds::Monthly);
    new TRadioButton(this, EditDlgIds::Yearly);
    new TRadioButton(this, EditDlgIds::EveryDays);
    new TEdit(this, EditDlgIds::Interval, sizeof xfer->EveryDaysText);
}

TAlarmEditDlg::~TAlarmEditDlg() {
    if (IsWindow())
        Destroy(IDCANCEL);
}

int TAlarmEditDlgRunner::Execute(TAlarmEditXfer& xfer) {
    TAlarmEditDlg dialog(&Parent, &xfer, AlarmEditTemplate);
    return dialog.Execute();
}

} // namespace vobrik
