#include "app/wx/VobrikDlgClient.h"

#include "app/wx/VobrikApp.h"
#include "calendar/FrenchDate.h"
#include "cli/ListText.h"
#include "cli/RunCommand.h"
#include "core/LocalTime.h"
#include "dialogs/wx/AlarmCheckDlg.h"
#include "platform/CommandSocket.h"
#include "platform/ControlIds.h"
#include "platform/ResponseTable.h"
#include "platform/SingleInstance.h"
#include "platform/Text1252.h"
#include "platform/wx/Application.h"
#include "summary/SummaryLines.h"
#include "summary/wx/SummaryPopup.h"

#include <cstring>
#include <functional>
#include <memory>
#include <utility>

namespace vobrik {

namespace {

constexpr int TrayIcon = 1010;

constexpr const char* QuitQuestion = "Êtes vous sûr de vouloir quitter Vobrik ?";
constexpr const char* QuitCaption = "Confirmation";

} // namespace

TVobrikDlgClient::TVobrikDlgClient(TWindow* parent, int resId)
    : TDialog(parent, resId), Table(*this, *this, *this),
      AlarmList(new TListBox(this, MainDlgIds::AlarmList)),
      HideCheck(new TCheckBox(this, MainDlgIds::HideCheck)),
      SummaryCheck(new TCheckBox(this, MainDlgIds::SummaryCheck)),
      Checker(Table, *this, Sound, *this) {
    TrayData.cbSize = 88;
}

TVobrikDlgClient::~TVobrikDlgClient() {
    SetTrayChangeHandler(nullptr);
    SetCommandHandler(nullptr);
    TModalScope::WhenAllClosed(nullptr);
    Shell_NotifyIcon(NIM_DELETE, &TrayData);
    if (IsWindow())
        Destroy(IDCANCEL);
    // A summary that outlives the dialog no longer reaches back into it.
    if (ResWin != nullptr)
        ResWin->Owner = nullptr;
}

TWindow& TVobrikDlgClient::Frame() {
    return Parent != nullptr ? *Parent : *this;
}

bool TVobrikDlgClient::Find(TMessage& msg, intptr_t& result) {
    using T = TVobrikDlgClient;
    static const TResponseTable<T> table{
        EvBnClicked<&T::AddAlarm>(MainDlgIds::Add),
        EvBnClicked<&T::ModifySelectedAlarm>(MainDlgIds::Modify),
        EvBnClicked<&T::DeleteSelectedAlarm>(MainDlgIds::Delete),
        EvLbnDblClk<&T::ModifySelectedAlarm>(MainDlgIds::AlarmList),
        EvMessage<&T::OnTrayNotify>(TrayMessage),
        EvMessage<&T::OnCheckTimer>(WM_TIMER),
        EvBnClicked<&T::HideMainWindow>(MainDlgIds::Close),
        EvBnClicked<&T::OpenDaySummary>(MainDlgIds::DaySummary),
        EvBnClicked<&T::SummaryClicked>(MainDlgIds::SummaryCheck),
        EvBnClicked<&T::HideClicked>(MainDlgIds::HideCheck),
    };
    return table.Dispatch(*this, msg, result) || TDialog::Find(msg, result);
}

void TVobrikDlgClient::SetupWindow() {
    TDialog::SetupWindow();
    SetCommandHandler([this](const std::string& command, const std::function<bool()>& wanted) {
        if (!TableLoaded)
            return std::string();
        const std::string answer = AnswerCommandRequest(Table.FileName(), command, wanted);
        // The list and the tray follow at once, rather than at the file's notice.
        FileChanged();
        return answer;
    });
    // What a command wrote while a window waited shows once it has closed.
    TModalScope::WhenAllClosed([this] {
        if (TableLoaded)
            FileChanged();
    });

    {
        const TIcon icon(TrayIcon);
        TrayData.hWnd = this;
        TrayData.uID = TrayIconId;
        TrayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        TrayData.uCallbackMessage = TrayMessage;
        TrayData.hIcon = &icon;
        std::strncpy(TrayData.szTip, "Vobrik", sizeof TrayData.szTip - 1);
        Shell_NotifyIcon(NIM_ADD, &TrayData);
        // The tray keeps its own copy of the picture.
        TrayData.hIcon = nullptr;
    }
    SetTrayChangeHandler([this] {
        if (TVobrikApp* app = VobrikApp())
            FollowTray(Frame(), app->MainHidden);
    });
    Frame().AllowMinimize(!IsSystemTrayAvailable());
    if (TApplication* app = GetApplication(); app != nullptr && app->nCmdShow == SW_HIDE)
        app->nCmdShow = IsSystemTrayAvailable() ? SW_HIDE : SW_SHOWMINNOACTIVE;

    if (!LoadSettings())
        return;
    HideCheck->SetCheck(Settings.StartHidden ? BST_CHECKED : BST_UNCHECKED);
    SummaryCheck->SetCheck(Settings.ShowSummary ? BST_CHECKED : BST_UNCHECKED);

    if (Settings.StartHidden) {
        if (TApplication* app = GetApplication())
            app->nCmdShow = IsSystemTrayAvailable() ? SW_HIDE : SW_SHOWMINNOACTIVE;
        HideMainWindow();
    }

    const TLoadResult loaded = Table.LoadAlarms();
    TableLoaded = true;
    FileWatch = std::make_unique<TFileWatch>(".", AlarmFileName, [this] { FileChanged(); });
    UpdateTrayTip();
    // A file that cannot be read yet is read again at each check, and rings
    // once it can.
    if (Settings.ShowSummary && loaded != TLoadResult::OpenFailed)
        OpenDaySummary();
    Checker.TimerId = SetTimer(CheckTimerId, 1);
}

intptr_t TVobrikDlgClient::OnTrayNotify(uintptr_t wParam, intptr_t lParam) {
    if (wParam != TrayIconId)
        return -1;
    if (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN)
        ShowMainWindow();
    return 0;
}

void TVobrikDlgClient::ShowMainWindow() {
    TWindow& frame = Frame();
    frame.BringWindowToTop();
    frame.ShowWindow(SW_SHOW);
    frame.ShowWindow(SW_RESTORE);
    frame.SetForegroundWindow();
    if (TVobrikApp* app = VobrikApp())
        app->MainHidden = false;
}

void TVobrikDlgClient::HideMainWindow() {
    SendFrameToTray(Frame());
    if (TVobrikApp* app = VobrikApp())
        app->MainHidden = true;
}

bool TVobrikDlgClient::PreProcessMsg(TMessage& msg) {
    if (msg.Msg == WM_KEYDOWN && msg.WParam == VK_ESCAPE) {
        // Escape sends the frame to the tray; it never cancels the dialog.
        HideMainWindow();
        return false;
    }
    return TDialog::PreProcessMsg(msg);
}

void TVobrikDlgClient::CloseWindow(int retValue) {
    HideMainWindow();
    if (retValue == IDOK)
        TDialog::CloseWindow(retValue);
}

bool TVobrikDlgClient::CanClose() {
    if (MessageBox(Windows1252FromUtf8(QuitQuestion).c_str(), QuitCaption, MB_YESNO) == IDYES) {
        if (TVobrikApp* app = VobrikApp()) {
            app->MainHidden = true;
            app->QuitConfirmed = true;
        }
        return true;
    }
    // The question may have brought the frame back; it goes where it was sent.
    if (TVobrikApp* app = VobrikApp(); app != nullptr && app->MainHidden)
        SendFrameToTray(Frame());
    return false;
}

bool TVobrikDlgClient::LoadSettings() {
    return vobrik::LoadSettings(Settings, *this);
}

void TVobrikDlgClient::SaveSettings() {
    vobrik::SaveSettings(Settings, *this);
}

void TVobrikDlgClient::SummaryClicked() {
    Settings.ShowSummary = SummaryCheck->SendMessage(BM_GETCHECK) == BST_CHECKED;
    SaveSettings();
}

void TVobrikDlgClient::HideClicked() {
    Settings.StartHidden = HideCheck->SendMessage(BM_GETCHECK) == BST_CHECKED;
    SaveSettings();
}

void TVobrikDlgClient::OpenDaySummary() {
    if (ResWin != nullptr)
        return;
    auto win = std::make_unique<TResWin>(this);
    win->Attr = {Settings.PosX, Settings.PosY, Settings.PosW, Settings.PosH};
    TSummaryLists lists = BuildSummaryLines(Table, Now());
    win->TodayLines = std::move(lists.Today);
    win->TomorrowLines = std::move(lists.Tomorrow);
    ResWin = OpenSummaryPopup(std::move(win), Frame().GetHandle());
}

void TVobrikDlgClient::ClearResWin() {
    ResWin = nullptr;
}

void TVobrikDlgClient::FileChanged() {
    // What the file brings already due (a file that could not be read at
    // start, a command) rings now rather than at the next tick.
    if (TModalScope::Depth() == 0 && Table.ReloadIfChanged() && Table.AlarmCount > 0 &&
        Now() > Table.Alarms[0]->When)
        Checker.TimerId = SetTimer(CheckTimerId, 1);
}

void TVobrikDlgClient::OnCheckTimer() {
    DefaultProcessing();
    FileChanged();
    Checker.OnCheckTimer(ResWin != nullptr);
}

void TVobrikDlgClient::AddAlarm() {
    Table.AddAlarm(*this);
}
void TVobrikDlgClient::ModifySelectedAlarm() {
    Table.ModifySelectedAlarm(*this);
}
void TVobrikDlgClient::DeleteSelectedAlarm() {
    Table.DeleteSelectedAlarm();
}

bool TVobrikDlgClient::EditAlarm(int slot) {
    return Editor.EditAlarm(slot);
}

int TVobrikDlgClient::RingAlarm(TAlarmCheckXfer& xfer, int32_t due) {
    if (!Settings.Notify)
        return vobrik::RingAlarm(this, xfer);
    const std::string message(xfer.Message, strnlen(xfer.Message, sizeof xfer.Message));
    return vobrik::RingAlarm(this, xfer,
                             Utf8FromWindows1252(message + "\n" + FrenchDayInText(due)) + " à " +
                                 ClockTime(due));
}

void TVobrikDlgClient::SetRedraw(bool on) {
    AlarmList->SetRedraw(on);
}
void TVobrikDlgClient::Clear() {
    AlarmList->ClearList();
}
int TVobrikDlgClient::AddString(const char* text) {
    return AlarmList->AddString(text);
}
void TVobrikDlgClient::SetItemData(int index, int32_t data) {
    AlarmList->SetItemData(index, data);
}
int TVobrikDlgClient::GetSelIndex() {
    return AlarmList->GetSelIndex();
}
int32_t TVobrikDlgClient::GetItemData(int index) {
    return AlarmList->GetItemData(index);
}
void TVobrikDlgClient::Invalidate() {
    AlarmList->Invalidate();
}
void TVobrikDlgClient::Refreshed() {
    UpdateTrayTip();
}

void TVobrikDlgClient::UpdateTrayTip() {
    SetTrayIconTip(this, TrayIconId, TrayTipText(Table).c_str());
}

int TVobrikDlgClient::MessageBox(const char* text, const char* caption, unsigned type) {
    TApplication* app = GetApplication();
    return app != nullptr ? app->MessageBox(this, text, caption, type)
                          : MessageBoxWithoutOwner(text, caption, type);
}

int32_t TVobrikDlgClient::Now() {
    return CurrentTime();
}

unsigned TVobrikDlgClient::SetTimer(unsigned id, unsigned milliseconds) {
    return TDialog::SetTimer(id, milliseconds);
}

void TVobrikDlgClient::KillTimer(unsigned id) {
    TDialog::KillTimer(id);
}

} // namespace vobrik
