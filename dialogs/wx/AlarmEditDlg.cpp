#include "dialogs/wx/AlarmEditDlg.h"

#include "core/Services.h"
#include "platform/wx/Controls.h"

namespace vobrik {

TAlarmEditDlg::TAlarmEditDlg(TWindow* parent, TAlarmEditXfer* xfer, int resId)
    : TDialog(parent, resId) {
    SetTransferBuffer(xfer);
    (new TEdit(this, 101, sizeof xfer->Message))->LimitText(EditMessageChars);
    new TEdit(this, 102, sizeof xfer->Day);
    new TEdit(this, 103, sizeof xfer->Month);
    new TEdit(this, 104, sizeof xfer->Year);
    new TEdit(this, 105, sizeof xfer->Hour);
    new TEdit(this, 106, sizeof xfer->Minute);
    new TRadioButton(this, 108);
    new TRadioButton(this, 109);
    new TRadioButton(this, 110);
    new TRadioButton(this, 111);
    new TEdit(this, 112, sizeof xfer->EveryDaysText);
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
