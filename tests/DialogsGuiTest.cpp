// The reminder editor and the ring dialog on a real X server (the test
// runner starts a private Xvfb), answered with real keys and clicks from
// inside their modal loops.

#include "Fakes.h"
#include "app/wx/SDIDecFrame.h"
#include "app/wx/VobrikDlgClient.h"
#include "dialogs/wx/AlarmCheckDlg.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vobrik {
namespace {

// Acts on a modal dialog from inside its loop: each step waits for its
// condition, then acts. A step that waits too long fails the test and ends
// the dialog, so that no test hangs.
class TScript : public wxTimer {
  public:
    struct TStep {
        std::string What;
        std::function<bool()> Ready;
        std::function<void()> Act;
    };

    TScript& Then(std::string what, std::function<bool()> ready, std::function<void()> act) {
        Steps.push_back({std::move(what), std::move(ready), std::move(act)});
        return *this;
    }
    TScript& Then(std::string what, std::function<void()> act) {
        return Then(
            std::move(what), [] { return true; }, std::move(act));
    }

    // Runs the steps while body runs a modal dialog.
    template <class F> auto During(F body) {
        Deadline = Clock::now() + Patience;
        Start(10);
        auto result = body();
        Stop();
        if (Next < Steps.size())
            ADD_FAILURE() << "the dialog ended before: " << Steps[Next].What;
        return result;
    }

    void Notify() override {
        if (Next == Steps.size())
            return;
        if (Clock::now() > Deadline) {
            ADD_FAILURE() << "timed out waiting for: " << Steps[Next].What;
            Next = Steps.size();
            if (wxDialog* dialog = ModalDialog())
                dialog->EndModal(-1);
            return;
        }
        if (!Steps[Next].Ready())
            return;
        Steps[Next++].Act();
        Deadline = Clock::now() + Patience;
    }

    static wxDialog* ModalDialog() {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = wxDynamicCast(window, wxDialog);
                dialog != nullptr && dialog->IsModal())
                return dialog;
        return nullptr;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds Patience{10};
    std::vector<TStep> Steps;
    size_t Next = 0;
    Clock::time_point Deadline;
};

// The modal dialog shows and has the keyboard focus.
bool ModalDialogHasFocus() {
    wxDialog* dialog = TScript::ModalDialog();
    wxWindow* focus = wxWindow::FindFocus();
    return dialog != nullptr && dialog->IsShown() && dialog->IsActive() && focus != nullptr &&
           wxGetTopLevelParent(focus) == dialog;
}

template <class T> T* InModalDialog(int id) {
    wxDialog* dialog = TScript::ModalDialog();
    return dialog != nullptr ? wxDynamicCast(dialog->FindWindow(id), T) : nullptr;
}

// The ring dialog on a real X server, answered with real keys and clicks.
class RingDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memcpy(Xfer.Message, "Rendez-vous & dentiste", 23);
        Xfer.Delay[0] = '1';
        Xfer.DelayHours = 1;
    }

    int Ring() {
        return Script.During([&] { return Dialog.Execute(); });
    }

    // Once the input guard has opened.
    std::function<bool()> TakesInput() {
        return [this] { return ModalDialogHasFocus() && Dialog.InputGuardOpen(); };
    }

    TAlarmCheckXfer Xfer{};
    TAlarmCheckDlg Dialog{nullptr, &Xfer};
    TScript Script;
    wxUIActionSimulator Input;
};

TEST_F(RingDialog, OpensOnTheBufferAndEnterGivesRappel) {
    Script.Then("the guard to open", TakesInput(), [&] {
        EXPECT_EQ("Rendez-vous & dentiste", InModalDialog<wxStaticText>(100)->GetLabelText());
        EXPECT_EQ("1", InModalDialog<wxTextCtrl>(102)->GetValue());
        EXPECT_TRUE(InModalDialog<wxRadioButton>(104)->GetValue()) << "Heures";
        EXPECT_FALSE(InModalDialog<wxRadioButton>(103)->GetValue());
        EXPECT_FALSE(InModalDialog<wxCheckBox>(106)->GetValue());
        Input.Char(WXK_RETURN);
    });
    EXPECT_EQ(RingRemindTomorrow, Ring());
    EXPECT_STREQ("1", Xfer.Delay);
    EXPECT_EQ(0, Xfer.DelayDays);
    EXPECT_EQ(1, Xfer.DelayHours);
    EXPECT_EQ(0, Xfer.DelayMinutes);
    EXPECT_EQ(0, Xfer.ForAll);
}

TEST_F(RingDialog, EscapeGivesValider) {
    Script.Then("the guard to open", TakesInput(), [&] { Input.Char(WXK_ESCAPE); });
    EXPECT_EQ(RingAcknowledge, Ring());
}

TEST_F(RingDialog, RemindInGivesTheAmountAsTypedTheUnitAndForAll) {
    Script.Then("the guard to open", TakesInput(), [&] {
        // Rappel, Valider, then the amount, which is selected on the way in.
        Input.Char(WXK_TAB);
        Input.Char(WXK_TAB);
        Input.Text("9012");
        // The units, from "Heures" to "Jours"; "Rappel dans"; the check box.
        Input.Char(WXK_TAB);
        Input.Char(WXK_LEFT);
        Input.Char(WXK_TAB);
        Input.Char(WXK_TAB);
        Input.Char(WXK_SPACE);
    });
    Script.Then(
        "the box to be ticked", [] { return InModalDialog<wxCheckBox>(106)->GetValue(); },
        [&] {
            EXPECT_EQ("901", InModalDialog<wxTextCtrl>(102)->GetValue()) << "no fourth character";
            Input.Char(WXK_TAB, wxMOD_SHIFT);
            Input.Char(WXK_RETURN);
        });
    EXPECT_EQ(RingRemindIn, Ring());
    EXPECT_STREQ("901", Xfer.Delay);
    EXPECT_EQ(1, Xfer.DelayDays);
    EXPECT_EQ(0, Xfer.DelayHours);
    EXPECT_EQ(0, Xfer.DelayMinutes);
    EXPECT_EQ(1, Xfer.ForAll);
}

TEST_F(RingDialog, KeyHeldAsItFallsDueNeverAnswersIt) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point shown;
    // Enter, which would give "&Rappel", is held down before the dialog
    // exists and repeats into it once it has the focus.
    Input.KeyDown(WXK_RETURN);
    Script.Then("the dialog to take the focus", ModalDialogHasFocus, [&] { shown = Clock::now(); })
        .Then(
            "two seconds of Enter held down",
            [&] { return Clock::now() - shown > std::chrono::seconds(2); },
            [&] {
                EXPECT_FALSE(Dialog.InputGuardOpen()) << "the repeats keep the guard closed";
                Input.KeyUp(WXK_RETURN);
            })
        .Then("the guard to open", TakesInput(), [&] { Input.Char(WXK_ESCAPE); });
    EXPECT_EQ(RingAcknowledge, Ring());
}

TEST_F(RingDialog, ClickDuringTheGuardIsDropped) {
    Script
        .Then("the dialog to take the focus", ModalDialogHasFocus,
              [&] {
                  wxWindow* valider = InModalDialog<wxButton>(IDCANCEL);
                  Input.MouseMove(valider->ClientToScreen(valider->GetClientRect().GetPosition() +
                                                          valider->GetSize() / 2));
                  Input.MouseClick();
              })
        .Then("the guard to open", TakesInput(), [&] { Input.Char(WXK_RETURN); });
    EXPECT_EQ(RingRemindTomorrow, Ring()) << "the click on Valider did not count";
}

TEST_F(RingDialog, CloseRequestIsRefused) {
    Script.Then("the guard to open", TakesInput(), [&] {
        EXPECT_FALSE(TScript::ModalDialog()->Close()) << "no close box";
        Input.Char(WXK_ESCAPE);
    });
    EXPECT_EQ(RingAcknowledge, Ring());
}

// The reminder editor as the main dialog runs it, on a real X server.
class Editor : public ::testing::Test {
  protected:
    // The main dialog reads and writes its files in the current directory.
    void SetUp() override {
        ASSERT_EQ(0, ::chdir(Dir.Root().c_str()));
        Frame = std::make_unique<TSDIDecFrame>(nullptr, "Vobrik", nullptr);
        ASSERT_TRUE(Frame->Create());
        Client = dynamic_cast<TVobrikDlgClient*>(Frame->GetClientWindow());
        ASSERT_NE(nullptr, Client);
    }
    void TearDown() override {
        Frame.reset();
        ASSERT_EQ(0, ::chdir("/"));
    }

    TAlarm& Add(int32_t when, const char* message, uint8_t type, int32_t everyDays = 0) {
        TAlarm alarm;
        alarm.When = when;
        SetAlarmMessage(alarm, message);
        alarm.Type = type;
        alarm.EveryDays = everyDays;
        TAlarm& added = *Client->Table.Append(alarm);
        Client->Table.RefreshAlarmList();
        return added;
    }

    // Runs what opens the editor while the script answers it.
    template <class F> auto Edit(F open) { return Script.During(open); }

    void Press(int id, unsigned notify = BN_CLICKED) {
        Client->SendMessage(WM_COMMAND, MakeWParam(static_cast<unsigned>(id), notify));
    }

    static wxString Text(int id) { return InModalDialog<wxTextCtrl>(id)->GetValue(); }
    static void Type(int id, const char* text) { InModalDialog<wxTextCtrl>(id)->SetValue(text); }
    static bool Checked(int id) { return InModalDialog<wxRadioButton>(id)->GetValue(); }

    std::string File() const { return Dir.Path("ALARMS.VBK"); }

    test::ScopedTz Zone{"Europe/Paris"};
    test::TempDir Dir;
    std::unique_ptr<TSDIDecFrame> Frame;
    TVobrikDlgClient* Client = nullptr;
    TScript Script;
    wxUIActionSimulator Input;
};

TEST_F(Editor, DoubleClickOpensAMonthlyReminderWithItsOwnValues) {
    Add(test::Local(2003, 1, 5, 8, 30), "Loyer", atMonthly, 3);
    Client->AlarmList->SetSelIndex(0);
    Script.Then("the editor", ModalDialogHasFocus, [&] {
        EXPECT_EQ("Loyer", Text(101));
        EXPECT_EQ("5", Text(102));
        EXPECT_EQ("1", Text(103));
        EXPECT_EQ("2003", Text(104));
        EXPECT_EQ("8", Text(105));
        EXPECT_EQ("30", Text(106));
        EXPECT_EQ("3", Text(112));
        EXPECT_TRUE(Checked(109)) << "Rappel mensuel";
        for (const int other : {108, 110, 111})
            EXPECT_FALSE(Checked(other)) << other;
        Input.Char(WXK_ESCAPE);
    });
    Edit([&] {
        Press(101, LBN_DBLCLK);
        return 0;
    });
}

TEST_F(Editor, CancelLeavesRecordAndFileAloneAndStillRestartsTheTimer) {
    TAlarm& alarm = Add(test::Local(2003, 1, 5, 8, 30, 17), "Loyer", atMonthly, 3);
    const TAlarm before = alarm;
    Client->KillTimer(CheckTimerId);
    Client->Checker.TimerId = 0;
    Script.Then("the editor", ModalDialogHasFocus, [&] {
        Type(102, "31");
        Input.Char(WXK_ESCAPE);
    });
    EXPECT_FALSE(Edit([&] { return Client->EditAlarm(0); }));
    EXPECT_EQ(0, std::memcmp(&before, &alarm, sizeof alarm));
    EXPECT_TRUE(test::ReadBytes(File()).empty()) << "the file was written";
    EXPECT_EQ(CheckTimerId, Client->Checker.TimerId);
}

TEST_F(Editor, ConfirmedEditKeepsTheSecondsAndNormalisesWhatWasTyped) {
    TAlarm& alarm = Add(test::Local(2003, 1, 5, 8, 30, 17), "Loyer", atOnce);
    Script.Then("the editor", ModalDialogHasFocus, [&] {
        Type(102, "31");
        Type(103, "4");
        Type(105, "9");
        Type(106, "75");
        Input.Char(WXK_RETURN); // OK, though no button is the default
    });
    EXPECT_TRUE(Edit([&] { return Client->EditAlarm(0); }));
    EXPECT_EQ("2003-05-01 10:15:17", test::ShowLocal(alarm.When));
    const std::vector<unsigned char> saved = test::ReadBytes(File());
    ASSERT_EQ(AlarmRecordSize, saved.size());
    int32_t savedWhen = 0;
    std::memcpy(&savedWhen, saved.data(), sizeof savedWhen);
    EXPECT_EQ(alarm.When, savedWhen);

    Script.Then("the editor again", ModalDialogHasFocus, [&] {
        Type(103, "");
        Input.Char(WXK_RETURN);
    });
    EXPECT_TRUE(Edit([&] { return Client->EditAlarm(0); }));
    EXPECT_EQ("2002-12-01 10:15:17", test::ShowLocal(alarm.When)) << "empty month";
}

TEST_F(Editor, UnknownTypeOpensWithNoneCheckedAndOkKeepsIt) {
    TAlarm& alarm = Add(test::Local(2003, 1, 5, 8, 30), "Ancien", 7);
    Script.Then("the editor", ModalDialogHasFocus, [&] {
        for (const int type : {108, 109, 110, 111})
            EXPECT_FALSE(Checked(type)) << type;
        Input.Char(WXK_RETURN);
    });
    EXPECT_TRUE(Edit([&] { return Client->EditAlarm(0); }));
    EXPECT_EQ(7, alarm.Type);
}

TEST_F(Editor, EditsTakeOneCharacterFewerThanTheirFieldsAndTheMessage199) {
    Add(test::Local(2003, 1, 5, 8, 30), "", atOnce);
    const std::vector<std::pair<int, size_t>> limits = {{101, 199}, {102, 2}, {103, 2}, {104, 4},
                                                        {105, 2},   {106, 2}, {112, 3}};
    Script.Then("the editor", ModalDialogHasFocus, [] {});
    for (const auto& [id, chars] : limits) {
        // One character short of the limit, then two more typed at its end;
        // Tab leaves the edit once both have been seen.
        Script.Then("the focus on an edit", [&, id = id, chars = chars] {
            wxTextCtrl* edit = InModalDialog<wxTextCtrl>(id);
            edit->SetFocus();
            edit->SetValue(std::string(chars - 1, '7'));
            edit->SetInsertionPointEnd();
            Input.Text("77");
            Input.Char(WXK_TAB);
        });
        Script.Then(
            "the typing to end", [id = id] { return wxWindow::FindFocus()->GetId() != id; },
            [id = id, chars = chars] { EXPECT_EQ(chars, Text(id).length()) << id; });
    }
    Script.Then("the last edit", [&] { Input.Char(WXK_ESCAPE); });
    EXPECT_FALSE(Edit([&] { return Client->EditAlarm(0); }));
}

TEST_F(Editor, AddButtonSavesTheTypedReminder) {
    Script.Then("the editor", ModalDialogHasFocus, [&] {
        EXPECT_EQ(InModalDialog<wxTextCtrl>(101), wxWindow::FindFocus()) << "the message first";
        Input.Text("Dentiste");
    });
    Script.Then(
        "the message to be typed", [] { return Text(101) == "Dentiste"; },
        [&] { Input.Char(WXK_RETURN); });
    Edit([&] {
        Press(103);
        return 0;
    });
    ASSERT_EQ(1, Client->Table.AlarmCount);
    EXPECT_STREQ("Dentiste", Client->Table.Alarms[0]->Message);
    EXPECT_EQ(AlarmRecordSize, test::ReadBytes(File()).size());
    EXPECT_EQ("Dentiste", Client->AlarmList->GetString(0));
}

} // namespace
} // namespace vobrik
