#include "dialogs/EditAlarm.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

template <size_t N> void Type(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::memcpy(field, text, strnlen(text, N - 1));
}

template <size_t N> std::string Text(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}

// Every field of the editor on one line: message, date, time, the four type
// buttons and the interval.
std::string Fields(const TAlarmEditXfer& x) {
    return Text(x.Message) + " | " + Text(x.Day) + "/" + Text(x.Month) + "/" + Text(x.Year) + " " +
           Text(x.Hour) + ":" + Text(x.Minute) + " | " + std::to_string(x.TypeOnce) +
           std::to_string(x.TypeMonthly) + std::to_string(x.TypeYearly) +
           std::to_string(x.TypeEveryDays) + " | " + Text(x.EveryDaysText);
}

// The editor dialog as a user drives it: each run edits the buffer it was
// given and answers OK or Cancel.
class ScriptedEditDialog : public IAlarmEditDialog {
  public:
    std::deque<std::function<int(TAlarmEditXfer&)>> Script;
    std::vector<TAlarmEditXfer> Shown;
    std::function<void()> OnShow;
    int Execute(TAlarmEditXfer& xfer) override {
        Shown.push_back(xfer);
        if (OnShow)
            OnShow();
        if (Script.empty())
            throw std::logic_error("the editor was opened more often than scripted");
        auto run = std::move(Script.front());
        Script.pop_front();
        return run(xfer);
    }
};

int Cancel(TAlarmEditXfer&) {
    return IDCANCEL;
}

class EditAlarm : public ::testing::Test, protected TCoreRig {
  protected:
    unsigned TimerId = 1;
    ScriptedEditDialog Dialog;
    std::string File = Dir.Path("ALARMS.VBK");
    TAlarmEditor Editor{Table, Timer, TimerId, Dialog};

    // Confirms the editor on slot 0 with this date and time typed.
    int32_t Confirm(const char* day, const char* month, const char* year, const char* hour,
                    const char* minute) {
        Dialog.Script.push_back([=](TAlarmEditXfer& xfer) {
            Type(xfer.Day, day);
            Type(xfer.Month, month);
            Type(xfer.Year, year);
            Type(xfer.Hour, hour);
            Type(xfer.Minute, minute);
            return IDOK;
        });
        EXPECT_TRUE(Editor.EditAlarm(0));
        return Table.Alarms[0]->When;
    }
};

TEST_F(EditAlarm, ExistingMonthlyReminderOpensWithItsOwnValues) {
    Add(Local(2003, 1, 5, 8, 30, 12), "Loyer", atMonthly, 7);
    Dialog.Script.push_back(Cancel);
    Editor.EditAlarm(0);

    ASSERT_EQ(1u, Dialog.Shown.size());
    EXPECT_EQ("Loyer | 5/1/2003 8:30 | 0100 | 7", Fields(Dialog.Shown[0]));
}

// The buttons are read in turn, so a later one overrides an earlier one; an
// unknown type opens with none checked and is kept when none is chosen.
TEST_F(EditAlarm, TypeIsTheLastButtonCheckedOrKeptWhenNoneIs) {
    TAlarm& unknown = Add(Local(2026, 3, 1, 9, 0), "x", 9);
    TAlarm& once = Add(Local(2026, 3, 2, 9, 0));
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        EXPECT_EQ(0, xfer.TypeOnce + xfer.TypeMonthly + xfer.TypeYearly + xfer.TypeEveryDays);
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        xfer.TypeOnce = 1;
        xfer.TypeYearly = 1;
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));
    ASSERT_TRUE(Editor.EditAlarm(1));
    EXPECT_EQ(9, unknown.Type);
    EXPECT_EQ(atYearly, once.Type);
}

TEST_F(EditAlarm, AddedReminderKeepsTheSecondsItWasCreatedWith) {
    Clock.Time = Local(2026, 3, 10, 10, 15, 37);
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        EXPECT_EQ("", Text(xfer.Message));
        EXPECT_EQ(1, xfer.TypeOnce);
        EXPECT_EQ("0", Text(xfer.EveryDaysText));
        Type(xfer.Message, "Dentiste");
        Type(xfer.Hour, "18");
        Type(xfer.Minute, "0");
        return IDOK;
    });
    Table.AddAlarm(Editor);

    ASSERT_EQ(1, Table.AlarmCount);
    EXPECT_EQ("2026-03-10 18:00:37", ShowLocal(Table.Alarms[0]->When));
    EXPECT_EQ(1, Table.Alarms[0]->Id);
    EXPECT_EQ(std::vector<std::string>{"Dentiste"}, List.Texts());
    EXPECT_EQ(AlarmRecordSize, ReadBytes(File).size());
}

// Whatever is typed goes through the calendar, keeping the seconds of the old
// time. The old time is in summer time: a typed winter date keeps its hour.
TEST_F(EditAlarm, TypedNumbersAreNormalisedByTheCalendar) {
    const int32_t old = Local(2026, 6, 15, 10, 0, 5);
    Add(old);
    struct Case {
        const char *Day, *Month, *Year, *Hour, *Minute;
        const char* When;
    };
    const Case cases[] = {
        {"31", "4", "2026", "10", "0", "2026-05-01 10:00:05"},
        {"15", "6", "2026", "9", "75", "2026-06-15 10:15:05"},
        {"15", "6", "2026", "24", "0", "2026-06-16 00:00:05"},
        {"0", "6", "2026", "10", "0", "2026-05-31 10:00:05"},
        {"15", "13", "2026", "10", "0", "2027-01-15 10:00:05"},
        {"15", "", "2026", "10", "0", "2025-12-15 10:00:05"},
        {"1", "3", "2026", "", "x", "2026-03-01 00:00:05"},
        {"15", "6", "2026", "-1", "0", "2026-06-14 23:00:05"},
        {"15", "6", "2026", "9", "99", "2026-06-15 10:39:05"},
        {"0", "0", "2026", "10", "0", "2025-11-30 10:00:05"},
        {"1a", "6x", "2026", "08", "-0", "2026-06-01 08:00:05"},
        {"-1", "6", "2026", "10", "0", "2026-05-30 10:00:05"},
        {"1", "1", "1902", "0", "0", "1902-01-01 00:00:05"},
        {"31", "12", "2037", "23", "59", "2037-12-31 23:59:05"},
        // The last minute a 32-bit time holds: 03:14:07 UTC.
        {"19", "1", "2038", "4", "14", "2038-01-19 04:14:05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.When);
        Table.Alarms[0]->When = old;
        EXPECT_EQ(c.When, ShowLocal(Confirm(c.Day, c.Month, c.Year, c.Hour, c.Minute)));
    }
    EXPECT_TRUE(Messages.Log.empty());
}

// The interval is stored whatever the type; one too wide for the edit is
// shown at its end and kept until the user changes it.
TEST_F(EditAlarm, IntervalIsStoredForEveryTypeAndATooWideOneKeptUntilChanged) {
    TAlarm& big = Add(Local(2026, 3, 1, 9, 0), "big", atEveryDays, 5000);
    TAlarm& low = Add(Local(2026, 3, 2, 9, 0), "low", atEveryDays, -500);
    TAlarm& once = Add(Local(2026, 3, 3, 9, 0), "once");
    Dialog.Script.push_back([](TAlarmEditXfer&) { return IDOK; });
    Dialog.Script.push_back([](TAlarmEditXfer&) { return IDOK; });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.EveryDaysText, "5");
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.EveryDaysText, "998");
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));
    ASSERT_TRUE(Editor.EditAlarm(1));
    EXPECT_EQ("999", Text(Dialog.Shown[0].EveryDaysText));
    EXPECT_EQ("-99", Text(Dialog.Shown[1].EveryDaysText));
    EXPECT_EQ(5000, big.EveryDays);
    EXPECT_EQ(-500, low.EveryDays);
    ASSERT_TRUE(Editor.EditAlarm(2));
    EXPECT_EQ(atOnce, once.Type);
    EXPECT_EQ(5, once.EveryDays);
    ASSERT_EQ(&big, Table.Alarms[0].get());
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(998, big.EveryDays);
}

// A dialog that fails counts as Cancel.
TEST_F(EditAlarm, CancelLeavesRecordAndFileAloneAndRestartsTheTimer) {
    const TAlarm& alarm = Add(Local(2026, 3, 1, 9, 0), "garde", atYearly, 3);
    const TAlarm before = alarm;
    ASSERT_TRUE(Table.SaveAlarms());
    const auto file = ReadBytes(File);
    for (const int answer : {IDCANCEL, -1}) {
        SCOPED_TRACE(answer);
        Dialog.Script.push_back([answer](TAlarmEditXfer& xfer) {
            Type(xfer.Message, "autre");
            Type(xfer.Year, "2030");
            xfer.TypeMonthly = 1;
            return answer;
        });
        List.Calls.clear();
        Timer.Calls.clear();

        EXPECT_FALSE(Editor.EditAlarm(0));
        EXPECT_EQ(0, std::memcmp(&before, &alarm, sizeof alarm));
        EXPECT_EQ(file, ReadBytes(File));
        EXPECT_TRUE(List.Calls.empty()) << "the list is not refreshed";
        EXPECT_EQ((std::vector<std::string>{"kill 1", "set 1 30000"}), Timer.Calls);
    }
}

TEST_F(EditAlarm, TimerIsStoppedWhileTheEditorIsOpenAndStartedEvenIfItWasNot) {
    Add(Local(2026, 3, 1, 9, 0));
    TimerId = 0;
    Dialog.OnShow = [&] { EXPECT_TRUE(Timer.Calls.empty()); };
    Dialog.Script.push_back([](TAlarmEditXfer&) { return IDOK; });
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(std::vector<std::string>{"set 1 30000"}, Timer.Calls);
    EXPECT_EQ(1u, TimerId);
}

TEST_F(EditAlarm, IndexOutsideTheTableTouchesNothing) {
    Add(Local(2026, 3, 1, 9, 0));
    EXPECT_FALSE(Editor.EditAlarm(-1));
    EXPECT_FALSE(Editor.EditAlarm(1));
    EXPECT_TRUE(Dialog.Shown.empty());
    EXPECT_TRUE(Timer.Calls.empty());
}

TEST_F(EditAlarm, ConfirmedEditSavesBeforeSortingAndKeepsTheId) {
    Add(Local(2026, 3, 1, 9, 0), "first");
    Add(Local(2026, 3, 2, 9, 0), "second");
    Table.RefreshAlarmList();
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.Day, "1");
        Type(xfer.Hour, "8");
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(1));

    // The file keeps the order of the edit; the table and the list are sorted.
    const auto bytes = ReadBytes(File);
    ASSERT_EQ(2 * AlarmRecordSize, bytes.size());
    EXPECT_STREQ("first", reinterpret_cast<const char*>(bytes.data()) + 4);
    EXPECT_EQ((std::vector<std::string>{"second", "first"}), List.Texts());
    EXPECT_EQ(2, Table.Alarms[0]->Id);
    EXPECT_EQ(2, List.Lines[0].second);
}

TEST_F(EditAlarm, LongestMessageOpensWholeAndALongerOneIsCutTo199Characters) {
    const TAlarm& alarm = Add(Local(2026, 3, 1, 9, 0), std::string(199, 'm').c_str());
    const std::string typed = std::string(198, 'x') + "\xE9\xE8"; // 200 characters
    Dialog.Script.push_back([&](TAlarmEditXfer& xfer) {
        EXPECT_EQ(std::string(199, 'm'), Text(xfer.Message));
        Type(xfer.Message, typed.c_str());
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(typed.substr(0, 199), std::string(alarm.Message));
}

TEST_F(EditAlarm, DateOutsideWhatAWhenHoldsIsRefusedAndTheEditorOpensAgainAsTyped) {
    const TAlarm& alarm = Add(Local(2026, 3, 1, 9, 0), "rdv");
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.Message, "rendez-vous");
        Type(xfer.Year, "03");
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        EXPECT_EQ("03", Text(xfer.Year));
        EXPECT_EQ("rendez-vous", Text(xfer.Message));
        // One minute past the last a 32-bit time holds.
        Type(xfer.Day, "19");
        Type(xfer.Month, "1");
        Type(xfer.Year, "2038");
        Type(xfer.Hour, "4");
        Type(xfer.Minute, "15");
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.Year, "2003");
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));

    ASSERT_EQ(2u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].Text.find("1902 \xE0 2037"));
    EXPECT_EQ(MB_OK, Messages.Log[0].Type);
    EXPECT_EQ("2003-01-19 04:15:00", ShowLocal(alarm.When));
    EXPECT_STREQ("rendez-vous", alarm.Message);
    EXPECT_EQ((std::vector<std::string>{"kill 1", "set 1 30000"}), Timer.Calls);
}

TEST_F(EditAlarm, RefusedDateThenCancelKeepsTheRecord) {
    const TAlarm& alarm = Add(Local(2026, 3, 1, 9, 0), "rdv");
    const int32_t before = alarm.When;
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.Year, "9999");
        return IDOK;
    });
    Dialog.Script.push_back(Cancel);
    EXPECT_FALSE(Editor.EditAlarm(0));
    EXPECT_EQ(before, alarm.When);
    EXPECT_EQ(1u, Messages.Log.size());
    EXPECT_FALSE(std::filesystem::exists(File));
}

TEST_F(EditAlarm, TypedHourIsKeptAcrossDaylightSavingChangesInTwoZones) {
    Add(Local(2026, 1, 10, 7, 0, 0)); // winter time
    EXPECT_EQ("2026-07-01 18:00:00", ShowLocal(Confirm("1", "7", "2026", "18", "0")));
    ScopedTz newYork("America/New_York");
    Table.Alarms[0]->When = Local(2026, 7, 10, 7, 0, 0); // summer time
    EXPECT_EQ("2026-12-01 18:00:00", ShowLocal(Confirm("1", "12", "2026", "18", "0")));
}

TEST_F(EditAlarm, RepeatedAutumnHourIsReadWithTheOldDaylightSavingFlag) {
    // 25 October 2026 in Paris: 02:30 comes first in summer time (00:30 UTC),
    // then in winter time (01:30 UTC).
    // Each record is made after a mktime on the other side of the change, so
    // the answer cannot come from whatever mktime last saw.
    const int32_t summerReading = 1792888200;
    const int32_t winter = Local(2026, 12, 1, 7, 0, 0);
    const int32_t summer = Local(2026, 8, 1, 7, 0, 0);
    Add(winter);
    EXPECT_EQ(summerReading + 3600, Confirm("25", "10", "2026", "2", "30"));
    Table.Alarms[0]->When = summer;
    Local(2026, 12, 1);
    EXPECT_EQ(summerReading, Confirm("25", "10", "2026", "2", "30"));
}

} // namespace
} // namespace vobrik
