#pragma once

#include "app/Settings.h"
#include "core/AlarmTable.h"
#include "core/CheckPass.h"
#include "core/Services.h"
#include "dialogs/wx/AlarmEditDlg.h"
#include "platform/AlsaSound.h"
#include "platform/wx/Application.h"
#include "platform/wx/Controls.h"
#include "platform/wx/FdWatch.h"
#include "platform/wx/TrayIcon.h"
#include "platform/wx/Window.h"
#include "summary/ResWin.h"

namespace vobrik {

// The main window's content: the reminder list and its buttons, the start-up
// choices, the tray icon and the check timer. It owns the reminder table and
// lends the table and the check pass its list box, its message boxes, its
// timer and its dialogs.
class TVobrikDlgClient : public TDialog,
                         public IAlarmList,
                         public IMessages,
                         public IClock,
                         public ITimer,
                         public IAlarmEditor,
                         public IRinger,
                         public IResWinOwner {
  public:
    static constexpr unsigned TrayIconId = 100;
    static constexpr unsigned TrayMessage = WM_USER + 10;

    TVobrikDlgClient(TWindow* parent, int resId);
    ~TVobrikDlgClient() override;

    NOTIFYICONDATA TrayData;
    TAlarmTable Table;
    TListBox* AlarmList;
    TCheckBox* HideCheck;
    TCheckBox* SummaryCheck;
    TSettings Settings;
    // The open day summary, none while it is closed.
    TResWin* ResWin = nullptr;
    TAlarmChecker Checker;

    void SetupWindow() override;
    bool PreProcessMsg(TMessage& msg) override;
    void CloseWindow(int retValue = 0) override;
    bool CanClose() override;
    bool Find(TMessage& msg, intptr_t& result) override;

    // Tray icon id in wParam, mouse message in lParam; -1 for another icon.
    intptr_t OnTrayNotify(uintptr_t wParam, intptr_t lParam);
    void ShowMainWindow();
    void HideMainWindow();
    // False when the file exists but could not be read.
    bool LoadSettings();
    void SaveSettings();
    void OpenDaySummary();
    void OnCheckTimer();
    // The summary has gone.
    void ClearResWin() override;

    // IAlarmList, over the list box.
    void SetRedraw(bool on) override;
    void Clear() override;
    int AddString(const char* text) override;
    void SetItemData(int index, int32_t data) override;
    int GetSelIndex() override;
    int32_t GetItemData(int index) override;
    void Invalidate() override;
    void Refreshed() override;
    // IMessages, owned by this dialog.
    int MessageBox(const char* text, const char* caption, unsigned type) override;
    // IClock.
    int32_t Now() override;
    // ITimer, on this dialog's window.
    unsigned SetTimer(unsigned id, unsigned milliseconds) override;
    void KillTimer(unsigned id) override;
    // The reminder editor and the ring dialog.
    bool EditAlarm(int slot) override;
    int RingAlarm(TAlarmCheckXfer& xfer, int32_t due) override;

  private:
    void AddAlarm();
    void ModifySelectedAlarm();
    void DeleteSelectedAlarm();
    void SummaryClicked();
    void HideClicked();
    TWindow& Frame();
    void UpdateTrayTip();

    // Commands from the terminal wait for the reminders to be read.
    bool TableLoaded = false;
    // The reminder file changed by someone else is read again at once, or,
    // while a dialog works on the table, once it closes.
    void FileChanged();
    std::unique_ptr<TFileWatch> FileWatch;

    // The ring sound, or the desktop bell when it cannot play.
    TAlsaSound Sound{[] { MessageBeep(); }};
    TAlarmEditDlgRunner EditDialog{*this};
    TAlarmEditor Editor{Table, *this, Checker.TimerId, EditDialog};
};

} // namespace vobrik
