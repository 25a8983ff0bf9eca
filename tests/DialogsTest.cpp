#include "dialogs/EditAlarm.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <stdexcept>

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

// The editor as a user drives it: each run edits the buffer it was given and
// answers OK or Cancel.
struct ScriptedEditDialog : IAlarmEditDialog {
    std::deque<std::function<int(TAlarmEditXfer&)>> Script;
    std::vector<TAlarmEditXfer> Shown;
    int Execute(TAlarmEditXfer& xfer) override {
        Shown.push_back(xfer);
        if (Script.empty())
            throw std::logic_error("the editor was opened more often than scripted");
        auto run = std::move(Script.front());
        Script.pop_front();
        return run(xfer);
    }
};

class EditAlarm : public ::testing::Test, protected TCoreRig {
  protected:
    unsigned TimerId = 1;
    ScriptedEditDialog Dialog;
    TAlarmEditor Editor{Table, Timer, TimerId, Dialog};

    // Confirms the editor on slot 0 with this date and time typed.
    std::string Confirm(const char* day, const char* month, const char* year, const char* hour,
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
        return ShowLocal(Table.Alarms[0]->When);
    }
};

TEST_F(EditAlarm, ReminderOpensWithItsOwnValuesAndTheLastTypeCheckedWins) {
    TAlarm& alarm = Add(Local(2003, 1, 5, 8, 30, 12), "Loyer", atMonthly, 7);
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        const std::string shown =
            Text(xfer.Message) + " " + Text(xfer.Day) + "/" + Text(xfer.Month) + "/" +
            Text(xfer.Year) + " " + Text(xfer.Hour) + ":" + Text(xfer.Minute) + " " +
            std::to_string(xfer.TypeOnce) + std::to_string(xfer.TypeMonthly) +
            std::to_string(xfer.TypeYearly) + std::to_string(xfer.TypeEveryDays) + " " +
            Text(xfer.EveryDaysText);
        EXPECT_EQ("Loyer 5/1/2003 8:30 0100 7", shown);
        xfer.TypeOnce = 1;
        xfer.TypeYearly = 1;
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(atYearly, alarm.Type);
    EXPECT_EQ((std::vector<std::string>{"kill 1", "set 1 30000"}), Timer.Calls);
    EXPECT_EQ(AlarmRecordSize, ReadBytes(Table.FileName()).size());
}

// Whatever is typed goes through the calendar, keeping the seconds of the old
// time. The old time is in summer time: a typed winter date keeps its hour.
TEST_F(EditAlarm, TypedNumbersAreNormalisedByTheCalendar) {
    const int32_t old = Local(2026, 6, 15, 10, 0, 5);
    Add(old);
    const struct {
        const char *Day, *Month, *Year, *Hour, *Minute, *When;
    } cases[] = {
        {"31", "4", "2026", "10", "0", "2026-05-01 10:00:05"},
        {"1", "3", "2026", "", "x", "2026-03-01 00:00:05"},
        {"1", "12", "2026", "18", "0", "2026-12-01 18:00:05"},
        {"19", "1", "2038", "4", "14", "2038-01-19 04:14:05"}, // the last minute a When holds
    };
    for (const auto& c : cases) {
        Table.Alarms[0]->When = old;
        EXPECT_EQ(c.When, Confirm(c.Day, c.Month, c.Year, c.Hour, c.Minute));
    }
    EXPECT_TRUE(Messages.Log.empty());
}

// One too wide for the three-character edit is shown at its end and kept
// until the user changes it.
TEST_F(EditAlarm, IntervalTooWideForTheEditIsKeptUntilChanged) {
    TAlarm& big = Add(Local(2026, 3, 1, 9, 0), "big", atEveryDays, 5000);
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        EXPECT_EQ("999", Text(xfer.EveryDaysText));
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.EveryDaysText, "998");
        return IDOK;
    });
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(5000, big.EveryDays);
    ASSERT_TRUE(Editor.EditAlarm(0));
    EXPECT_EQ(998, big.EveryDays);
}

// A date the record cannot hold is refused and the editor opens again on what
// was typed; Cancel then keeps the record as it was. The timer is stopped
// meanwhile and started again at the end.
TEST_F(EditAlarm, DateOutOfRangeIsRefusedAndTheEditorOpensAgainAsTyped) {
    const TAlarm& alarm = Add(Local(2026, 3, 1, 9, 0), "rdv");
    const int32_t before = alarm.When;
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        Type(xfer.Message, "rendez-vous");
        Type(xfer.Year, "2039");
        return IDOK;
    });
    Dialog.Script.push_back([](TAlarmEditXfer& xfer) {
        EXPECT_EQ("2039", Text(xfer.Year));
        EXPECT_EQ("rendez-vous", Text(xfer.Message));
        return IDCANCEL;
    });
    EXPECT_FALSE(Editor.EditAlarm(0));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].find("1902 \xE0 2037"));
    EXPECT_EQ(before, alarm.When);
    EXPECT_STREQ("rdv", alarm.Message);
    EXPECT_EQ((std::vector<std::string>{"kill 1", "set 1 30000"}), Timer.Calls);
}

// 25 October 2026 in Paris: 02:30 comes first in summer time (00:30 UTC), then
// in winter time. The old time's flag chooses between the two readings.
TEST_F(EditAlarm, RepeatedAutumnHourIsReadWithTheOldDaylightSavingFlag) {
    const int32_t summerReading = 1792888200;
    Add(Local(2026, 12, 1, 7, 0, 0));
    Confirm("25", "10", "2026", "2", "30");
    EXPECT_EQ(summerReading + 3600, Table.Alarms[0]->When);
    Table.Alarms[0]->When = Local(2026, 8, 1, 7, 0, 0);
    Confirm("25", "10", "2026", "2", "30");
    EXPECT_EQ(summerReading, Table.Alarms[0]->When);
}

} // namespace
} // namespace vobrik
