#pragma once

#include "dialogs/AlarmEditXfer.h"
#include "dialogs/EditAlarm.h"
#include "platform/wx/Window.h"

namespace vobrik {

// The reminder editor on template 2001. OK copies the controls into the
// buffer and gives 1; Cancel gives 2.
class TAlarmEditDlg : public TDialog {
  public:
    TAlarmEditDlg(TWindow* parent, TAlarmEditXfer* xfer, int resId = AlarmEditTemplate);
    ~TAlarmEditDlg() override;
};

// What EditAlarm shows: a TAlarmEditDlg over the main dialog, one per run.
class TAlarmEditDlgRunner : public IAlarmEditDialog {
  public:
    explicit TAlarmEditDlgRunner(TWindow& parent) : Parent(parent) {}
    int Execute(TAlarmEditXfer& xfer) override;

  private:
    TWindow& Parent;
};

} // namespace vobrik
