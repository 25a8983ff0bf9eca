// The window-system layer and the main dialog on a real X server (the test
// runner starts a private Xvfb), without the message loop of the program.

#include "Fakes.h"
#include "app/wx/SDIDecFrame.h"
#include "app/wx/VobrikDlgClient.h"
#include "platform/ResponseTable.h"
#include "platform/wx/Application.h"
#include "platform/wx/Controls.h"
#include "platform/wx/Resources.h"
#include "summary/wx/SummaryPopup.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace vobrik {
namespace {

// Lets the toolkit deliver what is due, until the condition holds or time is up.
bool RunUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        loop.DispatchTimeout(20);
        wxTheApp->ProcessIdle();
    }
    return true;
}

struct TExpected {
    int Id; // -1 for the controls without one
    const char* Kind;
    const char* Label; // UTF-8
    int X, Y, W, H;    // dialog units
};

std::string KindOf(wxWindow* window) {
    if (wxDynamicCast(window, wxStaticBox))
        return "group";
    if (wxDynamicCast(window, wxRadioButton))
        return "radio";
    if (wxDynamicCast(window, wxTextCtrl))
        return "edit";
    if (wxDynamicCast(window, wxCheckBox))
        return "check";
    if (wxDynamicCast(window, wxButton))
        return "button";
    if (wxDynamicCast(window, wxListBox))
        return "list";
    if (wxDynamicCast(window, wxStaticLine))
        return "line";
    if (wxDynamicCast(window, wxStaticBitmap))
        return "icon";
    if (wxDynamicCast(window, wxStaticText))
        return "text";
    return "other";
}

class Templates : public ::testing::Test {
  protected:
    void SetUp() override { Frame = new wxFrame(nullptr, wxID_ANY, "test"); }
    void TearDown() override { delete Frame; }
    wxFrame* Frame = nullptr;

    // Loads the template and checks its size and every control, in template
    // order, which is also the tab order. An edit's label is its text.
    wxPanel* ExpectTemplate(int resId, int width, int height,
                            const std::vector<TExpected>& expected) {
        wxPanel* panel = LoadTemplate(Frame, resId);
        if (panel == nullptr) {
            ADD_FAILURE() << "no template " << resId;
            return nullptr;
        }
        EXPECT_EQ(panel->ConvertDialogToPixels(wxSize(width, height)), panel->GetSize());

        // Children are kept in creation order.
        const wxWindowList& children = panel->GetChildren();
        EXPECT_EQ(expected.size(), children.size());
        size_t i = 0;
        for (wxWindow* child : children) {
            if (i == expected.size())
                break;
            const TExpected& want = expected[i++];
            SCOPED_TRACE(want.Label[0] != '\0' ? want.Label : want.Kind);
            EXPECT_EQ(want.Kind, KindOf(child));
            if (want.Id != -1) {
                EXPECT_EQ(want.Id, child->GetId());
                EXPECT_EQ(child, panel->FindWindow(want.Id));
            }
            if (auto* edit = wxDynamicCast(child, wxTextCtrl)) {
                EXPECT_EQ(wxString::FromUTF8(want.Label), edit->GetValue());
            } else if (want.Label[0] != '\0') {
                EXPECT_EQ(wxString::FromUTF8(want.Label), child->GetLabel());
            }
            EXPECT_EQ(panel->ConvertDialogToPixels(wxPoint(want.X, want.Y)), child->GetPosition());
            if (want.H > 1) {
                EXPECT_EQ(panel->ConvertDialogToPixels(wxSize(want.W, want.H)), child->GetSize());
            }
        }
        return panel;
    }
};

TEST_F(Templates, MainDialogHasEveryControlInTemplateOrder) {
    const std::vector<TExpected> expected = {
        {-1, "group", "Alarmes", 20, 4, 304, 134},
        {102, "button", "&Fermer", 256, 98, 52, 14},
        {103, "button", "&Ajouter", 256, 17, 48, 17},
        {104, "button", "&Supprimer", 256, 42, 48, 17},
        {105, "button", "&Modifier", 256, 68, 48, 17},
        {101, "list", "", 28, 17, 216, 120},
        {1, "button", "&Quitter", 256, 116, 52, 14},
        {-1, "text", "Vobrik", 336, 62, 56, 9},
        {-1, "text", "Version 1.4a", 342, 73, 44, 8},
        {-1, "line", "", 248, 90, 68, 1},
        {-1, "icon", "", 353, 109, 21, 20},
        {106, "button", "&Synth\xC3\xA8se du jour", 330, 3, 66, 14},
        {107, "line", "", 328, 58, 72, 1},
        {108, "check", "Synth\xC3\xA8se", 334, 45, 60, 12},
        {109, "check", "Cacher", 334, 33, 60, 12},
        {110, "text", "Au d\xC3\xA9marrage :", 328, 24, 60, 8},
        {111, "line", "", 328, 21, 72, 1},
    };
    wxPanel* panel = ExpectTemplate(2000, 403, 145, expected);
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(panel->FindWindow(102), Frame->GetDefaultItem()) << "Fermer is the default button";
}

TEST_F(Templates, EditorHasEveryControlInTemplateOrder) {
    const std::vector<TExpected> expected = {
        {-1, "group", "Heure", 56, 73, 136, 34},
        {-1, "group", "Date", 40, 34, 172, 35},
        {101, "edit", "", 48, 13, 328, 12},
        {102, "edit", "", 76, 47, 16, 12},
        {103, "edit", "", 124, 47, 16, 12},
        {104, "edit", "", 176, 47, 24, 12},
        {105, "edit", "", 100, 86, 20, 12},
        {106, "edit", "", 160, 86, 20, 12},
        {107, "group", "Type", 224, 34, 140, 74},
        {108, "radio", "Rappel", 240, 48, 48, 12},
        {109, "radio", "Rappel mensuel", 240, 61, 72, 12},
        {110, "radio", "Rappel Annuel", 240, 74, 60, 12},
        {111, "radio", "Rappel tous les", 240, 86, 64, 12},
        {113, "radio", "", 240, 86, 64, 12}, // hidden: none of the four
        {112, "edit", "", 304, 86, 20, 12},
        {1, "button", "OK", 392, 6, 50, 14},
        {2, "button", "Cancel", 392, 26, 50, 14},
        {-1, "text", "Message :", 12, 13, 36, 8},
        {-1, "text", "Jour :", 52, 47, 24, 8},
        {-1, "text", "Mois :", 100, 47, 24, 8},
        {-1, "text",
         "Ann\xC3\xA9"
         "e :",
         148, 47, 28, 8},
        {-1, "text", "Heures :", 68, 86, 28, 8},
        {-1, "text", "Minutes :", 128, 86, 32, 8},
        {-1, "text", "jour(s)", 327, 87, 24, 8},
    };
    wxPanel* panel = ExpectTemplate(2001, 454, 119, expected);
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(nullptr, Frame->GetDefaultItem()) << "no button is the default";
    auto* none = wxStaticCast(panel->FindWindow(113), wxRadioButton);
    EXPECT_FALSE(none->IsShown());
    for (const int radio : {109, 110, 111, 113})
        EXPECT_EQ(panel->FindWindow(108),
                  wxStaticCast(panel->FindWindow(radio), wxRadioButton)->GetFirstInGroup())
            << "one group of types";
}

TEST_F(Templates, RingDialogHasEveryControlInTemplateOrder) {
    const std::vector<TExpected> expected = {
        {-1, "group", "", 161, 41, 208, 29},
        {1, "button", "&Rappel", 96, 44, 50, 14},
        {2, "button", "&Valider", 32, 44, 50, 14},
        {102, "edit", "000", 224, 52, 20, 12},
        {103, "radio", "Jours", 248, 52, 36, 12},
        {104, "radio", "Heures", 284, 52, 40, 12},
        {105, "radio", "Minutes", 324, 52, 40, 12},
        {100, "text", "Message", 28, 17, 352, 8},
        {-1, "group", "", 20, 9, 368, 26},
        {-1, "icon", "", 376, 43, 21, 20},
        {-1, "icon", "", 4, 43, 21, 20},
        {101, "button", "Rappel dans", 168, 52, 50, 14},
        {106, "check", "pour toutes les alarmes en cours", 34, 60, 118, 12},
    };
    wxPanel* panel = ExpectTemplate(2002, 401, 75, expected);
    ASSERT_NE(nullptr, panel);
    EXPECT_EQ(panel->FindWindow(1), Frame->GetDefaultItem()) << "Rappel is the default button";
    for (const int radio : {104, 105})
        EXPECT_EQ(panel->FindWindow(103),
                  wxStaticCast(panel->FindWindow(radio), wxRadioButton)->GetFirstInGroup())
            << "one group of units";
}

TEST_F(Templates, UnknownTemplateGivesNothing) {
    EXPECT_EQ(nullptr, LoadTemplate(Frame, 1999));
}

TEST_F(Templates, CaptionComesFromTheTemplate) {
    EXPECT_EQ("Dialog Client", TemplateCaption(2000));
    EXPECT_EQ(wxString::FromUTF8("Propri\xC3\xA9t\xC3\xA9s de l'alarme"), TemplateCaption(2001));
    EXPECT_EQ("Alarme ...", TemplateCaption(2002));
}

TEST_F(Templates, EditorDialogBoxHasACloseBoxAndStaysOnTop) {
    const long editor = TemplateDialogStyle(2001);
    EXPECT_TRUE(editor & wxCAPTION);
    EXPECT_TRUE(editor & wxCLOSE_BOX);
    EXPECT_TRUE(editor & wxSTAY_ON_TOP);
}

TEST_F(Templates, RingDialogBoxHasNoCloseBoxAndStaysOnTop) {
    const long ring = TemplateDialogStyle(2002);
    EXPECT_TRUE(ring & wxCAPTION);
    EXPECT_FALSE(ring & (wxCLOSE_BOX | wxSYSTEM_MENU));
    EXPECT_TRUE(ring & wxSTAY_ON_TOP);
}

TEST_F(Templates, IconGroupsHoldTheirSizes) {
    const wxIconBundle program = LoadIconGroup(1001);
    EXPECT_EQ(2u, program.GetIconCount());
    EXPECT_TRUE(program.GetIcon(wxSize(32, 32), wxIconBundle::FALLBACK_NONE).IsOk());
    EXPECT_TRUE(program.GetIcon(wxSize(16, 16), wxIconBundle::FALLBACK_NONE).IsOk());

    const wxIconBundle tray = LoadIconGroup(1010);
    ASSERT_EQ(1u, tray.GetIconCount());
    const wxIcon bell = tray.GetIcon(wxSize(32, 32), wxIconBundle::FALLBACK_NONE);
    ASSERT_TRUE(bell.IsOk());
    const wxImage image = wxBitmap(bell).ConvertToImage();
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(0, image.GetAlpha(0, 0)) << "the bell stands on transparency";
    EXPECT_TRUE(LoadIconGroup(4242).IsEmpty());
}

// A dialog with a response table of its own, on the main template.
class TProbeDialog : public TDialog {
  public:
    TProbeDialog() : TDialog(nullptr, 2000) {
        Summary = new TCheckBox(this, 108);
        List = new TListBox(this, 101);
        Hide = new TCheckBox(this, 109);
    }
    TCheckBox* Summary;
    TListBox* List;
    TCheckBox* Hide;
    int Added = 0;
    int Ticks = 0;
    bool AllowClose = false;
    std::vector<uintptr_t> TimerIds;

    bool Find(TMessage& msg, intptr_t& result) override {
        static const TResponseTable<TProbeDialog> table{
            EvBnClicked<&TProbeDialog::Add>(103),
            EvMessage<&TProbeDialog::OnTimer>(WM_TIMER),
        };
        return table.Dispatch(*this, msg, result) || TDialog::Find(msg, result);
    }
    bool CanClose() override { return AllowClose; }

  private:
    void Add() { ++Added; }
    intptr_t OnTimer(uintptr_t id, intptr_t) {
        TimerIds.push_back(id);
        if (++Ticks == 3)
            KillTimer(static_cast<unsigned>(id));
        return 0;
    }
};

TEST(Dialog, TransferBufferFollowsConstructionOrderAndSkipsTheList) {
    TProbeDialog dialog;
    struct {
        uint16_t Summary;
        uint16_t Hide;
    } buffer{1, 0};
    dialog.SetTransferBuffer(&buffer);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(BST_CHECKED, dialog.Summary->GetCheck());
    EXPECT_EQ(BST_UNCHECKED, dialog.Hide->GetCheck());

    dialog.Summary->Uncheck();
    dialog.Hide->Check();
    dialog.TransferData(TTransferDirection::GetData);
    EXPECT_EQ(0, buffer.Summary);
    EXPECT_EQ(1, buffer.Hide);
}

TEST(Dialog, CheckBoxAnswersBmGetCheck) {
    TProbeDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.Hide->Check();
    EXPECT_EQ(BST_CHECKED, dialog.Hide->SendMessage(BM_GETCHECK));
    dialog.Hide->Uncheck();
    EXPECT_EQ(BST_UNCHECKED, dialog.Hide->SendMessage(BM_GETCHECK));
}

TEST(Dialog, ButtonClicksReachTheResponseTable) {
    TProbeDialog dialog;
    ASSERT_TRUE(dialog.Create());
    wxCommandEvent click(wxEVT_BUTTON, 103);
    click.SetEventObject(dialog.GetHandle()->FindWindow(103));
    dialog.GetHandle()->FindWindow(103)->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(1, dialog.Added);

    wxCommandEvent other(wxEVT_BUTTON, 104);
    dialog.GetHandle()->FindWindow(104)->GetEventHandler()->ProcessEvent(other);
    EXPECT_EQ(1, dialog.Added);
}

TEST(Dialog, OkAsksCanCloseBeforeEnding) {
    TProbeDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SendMessage(WM_COMMAND, MakeWParam(IDOK, BN_CLICKED));
    EXPECT_TRUE(dialog.IsWindow()) << "CanClose said no";
    dialog.AllowClose = true;
    dialog.SendMessage(WM_COMMAND, MakeWParam(IDOK, BN_CLICKED));
    EXPECT_FALSE(dialog.IsWindow());
}

TEST(Dialog, TimerTicksUntilKilledInsideItsOwnTick) {
    TProbeDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(7u, dialog.SetTimer(7, 1));
    ASSERT_TRUE(RunUntil([&] { return dialog.Ticks >= 3; }));
    // Killed at the third tick: a while later there is still no fourth.
    const auto start = std::chrono::steady_clock::now();
    RunUntil(
        [&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(100); });
    EXPECT_EQ(3, dialog.Ticks);
    EXPECT_EQ((std::vector<uintptr_t>{7, 7, 7}), dialog.TimerIds);
    EXPECT_FALSE(dialog.KillTimer(7));
}

TEST(Dialog, ListBoxKeepsItemDataPerLineAndMinusOneOutside) {
    TProbeDialog dialog;
    ASSERT_TRUE(dialog.Create());
    TListBox& list = *dialog.List;
    EXPECT_EQ(0, list.AddString("F\xEAte"));
    EXPECT_EQ(1, list.AddString("second"));
    EXPECT_TRUE(list.SetItemData(1, 42));
    EXPECT_EQ(42, list.GetItemData(1));
    EXPECT_EQ(0, list.GetItemData(0));
    EXPECT_EQ(-1, list.GetItemData(2));
    EXPECT_EQ(-1, list.GetItemData(-1));
    EXPECT_EQ(-1, list.GetSelIndex());
    EXPECT_EQ("F\xEAte", list.GetString(0)) << "Windows-1252 survives the toolkit";
    list.SetSelIndex(1);
    EXPECT_EQ(1, list.GetSelIndex());
    list.ClearList();
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(-1, list.GetItemData(0));
}

class MainDialog : public ::testing::Test {
  protected:
    // The dialog reads and writes its files in the current directory.
    void SetUp() override {
        ASSERT_EQ(0, ::chdir(Dir.Root().c_str()));
        Start();
    }
    void Start() {
        Frame = std::make_unique<TSDIDecFrame>(nullptr, "Vobrik", nullptr);
        Frame->SetShrinkToClient(true);
        ASSERT_TRUE(Frame->Create());
        Client = dynamic_cast<TVobrikDlgClient*>(Frame->GetClientWindow());
        ASSERT_NE(nullptr, Client);
    }
    void TearDown() override {
        Frame.reset();
        ASSERT_EQ(0, ::chdir("/"));
    }
    test::TempDir Dir;
    std::unique_ptr<TSDIDecFrame> Frame;
    TVobrikDlgClient* Client = nullptr;

    intptr_t Tray(uintptr_t id, intptr_t mouse) {
        return Client->SendMessage(TVobrikDlgClient::TrayMessage, id, mouse);
    }
};

TEST_F(MainDialog, TrayMessagesForAnotherIconAreRefused) {
    EXPECT_EQ(-1, Tray(99, WM_LBUTTONDOWN));
    EXPECT_FALSE(Frame->IsWindowVisible());
}

TEST_F(MainDialog, OnlyButtonPressesOnTheTrayIconShowTheFrame) {
    for (const intptr_t mouse :
         {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK}) {
        EXPECT_EQ(0, Tray(TVobrikDlgClient::TrayIconId, mouse));
        EXPECT_FALSE(Frame->IsWindowVisible()) << mouse;
    }
    EXPECT_EQ(0, Tray(TVobrikDlgClient::TrayIconId, WM_RBUTTONDOWN));
    EXPECT_TRUE(Frame->IsWindowVisible());
    Frame->ShowWindow(SW_HIDE);
    EXPECT_EQ(0, Tray(TVobrikDlgClient::TrayIconId, WM_LBUTTONDOWN));
    EXPECT_TRUE(Frame->IsWindowVisible());
}

TEST_F(MainDialog, FrameTakesTheSizeOfItsClient) {
    EXPECT_EQ(Client->GetHandle()->GetSize(), Frame->GetHandle()->GetClientSize());
}

TEST_F(MainDialog, CheckTimerIsStartedAtSetUp) {
    EXPECT_EQ(CheckTimerId, Client->Checker.TimerId);
}

// The summary opened at set-up outlives the dialog: the dialog lets go of it
// first, so the popup, destroyed later with the frame's window, writes nothing
// into the freed dialog.
TEST_F(MainDialog, SummaryOutlivingTheDialogNoLongerReachesIt) {
    TResWin* win = Client->ResWin;
    ASSERT_NE(nullptr, win);
    wxWeakRef<wxWindow> popup = SummaryPopupWindow(*win);
    ASSERT_TRUE(popup);
    Frame.reset();
    ASSERT_TRUE(popup) << "the toolkit frees its windows at idle time";
    EXPECT_EQ(nullptr, win->Owner);
    EXPECT_TRUE(RunUntil([&] { return !popup; }));
}

TEST_F(MainDialog, SummaryKeepsThePlaceOfTheSettingsUnlessItWouldBeOutOfSight) {
    const auto placeOfSummary = [&](const char* settings) {
        Frame.reset();
        std::ofstream("VOBRIK.INI") << settings;
        Start();
        wxWindow* popup = Client->ResWin != nullptr ? SummaryPopupWindow(*Client->ResWin) : nullptr;
        return popup != nullptr ? popup->GetRect() : wxRect();
    };
    // The screen of the test server is 1024 x 768.
    EXPECT_EQ(wxRect(300, 50, 250, 115), placeOfSummary("POSX=300\nPOSY=50\nPOSW=250\n"));
    EXPECT_EQ(wxRect(-200, 700, 400, 115), placeOfSummary("POSX=-200\nPOSY=700\n"));
    EXPECT_EQ(wxRect(100, 100, 400, 115), placeOfSummary("POSX=5000\nPOSY=50\n"));
    EXPECT_EQ(wxRect(100, 100, 400, 115), placeOfSummary("POSX=-397\nPOSY=50\n"));
    EXPECT_EQ(wxRect(300, 50, 400, 115), placeOfSummary("POSX=300\nPOSY=50\nPOSW=6\n"));
}

} // namespace
} // namespace vobrik

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!vobrik::StartToolkit()) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    vobrik::StopToolkit();
    return result;
}
