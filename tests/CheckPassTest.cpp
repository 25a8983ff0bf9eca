#include "core/CheckPass.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vobrik {
namespace {

using namespace vobrik::test;

using Answer = ScriptedRinger::Answer;
constexpr int Days = ScriptedRinger::Days, Hours = ScriptedRinger::Hours,
              Minutes = ScriptedRinger::Minutes;

// "YYYY-MM-DD HH:MM[:SS]" on the local clock, or "@N" for N seconds.
int32_t At(const char* text) {
    if (text[0] == '@')
        return static_cast<int32_t>(std::atol(text + 1));
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 5)
        ADD_FAILURE() << "bad time " << text;
    return Local(y, mo, d, h, mi, s);
}

// One due record, what its dialogs are answered, and when it or its
// postponement is due after the passes (null: the table is empty).
struct Scenario {
    const char* Name;
    const char* Now;
    const char* When;
    uint8_t Type;
    int32_t EveryDays;
    std::vector<Answer> Answers; // one per dialog shown
    const char* After;
    int Ticks;
    const char* Zone;
};

const char* const Paris = "Europe/Paris";
const char* const NewYork = "America/New_York";
const Answer Ack{};
const char* const EndOfTime = "2038-01-19 04:14:07"; // INT32_MAX in Paris

Scenario S(const char* name, const char* now, const char* when, uint8_t type, int32_t every,
           std::vector<Answer> answers, const char* after, int ticks = 1,
           const char* zone = Paris) {
    return {name, now, when, type, every, std::move(answers), after, ticks, zone};
}

class CheckPass : public ::testing::TestWithParam<Scenario>, protected TCoreRig {
  protected:
    void Tick(bool summaryOpen = false) {
        Table.RefreshAlarmList();
        Checker.OnCheckTimer(summaryOpen);
    }
    TAlarm* Find(const char* message) {
        for (int i = 0; i < Table.AlarmCount; ++i)
            if (std::strcmp(Table.Alarms[i]->Message, message) == 0)
                return Table.Alarms[i].get();
        return nullptr;
    }
    std::vector<std::string> Schedule() {
        std::vector<std::string> lines;
        for (int i = 0; i < Table.AlarmCount; ++i)
            lines.push_back(ShowLocal(Table.Alarms[i]->When) + " " + Table.Alarms[i]->Message);
        return lines;
    }
};

const Scenario Scenarios[] = {
    S("RemindTomorrowOnNewYearsEveGivesOneMinutePastMidnight", "2026-12-31 23:59:30",
      "2026-12-31 23:59:20", atOnce, 0, {{RingRemindTomorrow}}, "2027-01-01 00:01:30"),
    S("RemindInNinetyMinutes", "2026-03-10 14:20:05", "2026-03-10 14:20:04", atOnce, 0,
      {{RingRemindIn, "90", Minutes}}, "2026-03-10 15:50:05"),
    S("UnknownResultIsTreatedAsAcknowledge", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{-1, "5", Days}}, nullptr),
    S("NegativeDelayRingsAgainInTheSamePass", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "-5", Minutes}, Ack}, nullptr),
    // The amount as atol reads it, never past the four bytes of the field,
    // added to each unit that is ticked.
    S("DelayWithoutDigitsPostponesToThisSecond", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "abc", Hours}}, "2026-06-01 09:00:00"),
    S("EmptyDelayPostponesToThisSecond", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "", Hours}}, "2026-06-01 09:00:00"),
    S("DelayReadsLeadingDigitsOnly", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "2h", Hours}}, "2026-06-01 11:00:00"),
    S("DelayIsDecimal", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "0x9", Hours}}, "2026-06-01 09:00:00"),
    S("DelayTakesASign", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "+7", Days}}, "2026-06-08 09:00:00"),
    S("DelaySkipsLeadingBlanks", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, " 5", Minutes}}, "2026-06-01 09:05:00"),
    S("DelayOfNonAsciiBytesIsZero", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "\xFF\x80", Hours}}, "2026-06-01 09:00:00"),
    S("LargestDelayInDays", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "999", Days}}, "2029-02-24 09:00:00"),
    S("DelayFillingTheWholeFieldIsReadToItsEnd", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "9999", Minutes}}, "2026-06-08 07:39:00"),
    S("DelayWithoutAUnitPostponesToThisSecond", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "5", ScriptedRinger::NoUnit}}, "2026-06-01 09:00:00"),
    S("DelayIsAddedToEveryTickedUnit", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
      {{RingRemindIn, "2", Days | Hours | Minutes}}, "2026-06-03 11:02:00"),
    S("MonthlyFromDecemberMovesIntoNextYear", "2026-12-20 12:00", "2026-12-15 10:00", atMonthly, 0,
      {Ack}, "2027-01-15 10:00:00"),
    S("MonthlyFromJan31RollsToMarch3", "2003-02-01 08:00", "2003-01-31 07:00", atMonthly, 0, {Ack},
      "2003-03-03 07:00:00"),
    S("MonthlyGoesOnFromTheRolledDay", "2003-03-04 08:00", "2003-01-31 07:00", atMonthly, 0, {Ack},
      "2003-04-03 07:00:00"),
    S("MonthlyFromJan31RollsToMarch2InALeapYear", "2004-02-01 08:00", "2004-01-31 07:00", atMonthly,
      0, {Ack}, "2004-03-02 07:00:00"),
    S("MonthlyMissedForMonthsRingsOnceAndCatchesUp", "2026-09-20 12:00", "2026-01-10 18:00",
      atMonthly, 0, {Ack}, "2026-10-10 18:00:00"),
    S("YearlyTwoYearsOverdueStepsOnceAndRingsAgainNextTick", "2026-07-01 12:00", "2024-05-04 09:30",
      atYearly, 0, {Ack, Ack}, "2026-05-04 09:30:00", 2),
    S("YearlyOnFebruary29BecomesMarch1", "2024-03-01 00:00", "2024-02-29 08:00", atYearly, 0, {Ack},
      "2025-03-01 08:00:00"),
    S("DailyMissedOnAnEarlierDayMovesOnSilently", "2026-04-08 10:00", "2026-04-07 09:00",
      atEveryDays, 1, {}, "2026-04-09 09:00:00"),
    S("DailyDueEarlierTodayRings", "2026-04-08 10:00", "2026-04-08 09:00", atEveryDays, 1, {Ack},
      "2026-04-09 09:00:00"),
    S("DailyComparesTheDayOfTheMonthOnly", "2026-04-06 10:00", "2026-03-06 09:00", atEveryDays, 1,
      {Ack}, "2026-04-07 09:00:00"),
    S("ZeroIntervalStepsTwelveHours", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays, 0, {Ack},
      "2026-04-09 08:00:00"),
    S("WeeklyMovesToTheFirstFutureMondayAtTheSameHour", "2026-02-19 12:00", "2026-02-02 18:45",
      atEveryDays, 7, {Ack}, "2026-02-23 18:45:00"),
    // Daylight saving begins on 29 March in Paris and on 8 March in New York.
    S("MonthlyAcrossTheSpringChangeKeepsTheLocalHour", "2026-03-20 12:00", "2026-03-15 10:00",
      atMonthly, 0, {Ack}, "2026-04-15 10:00:00"),
    S("DailyAcrossTheSpringChangeKeepsTheLocalHour", "2026-03-30 12:00", "2026-03-27 07:30",
      atEveryDays, 1, {}, "2026-03-31 07:30:00"),
    S("WeeklyAcrossTheSpringChangeKeepsTheLocalHour", "2026-03-10 12:00", "2026-03-02 09:00",
      atEveryDays, 7, {Ack}, "2026-03-16 09:00:00", 1, NewYork),
    // 01:00 to 02:00 happens twice that night: three hours later is 02:30.
    S("RemindInHoursCountsRealTimeAcrossTheAutumnChange", "2026-11-01 00:30", "2026-11-01 00:29",
      atOnce, 0, {{RingRemindIn, "3", Hours}}, "2026-11-01 02:30:00", 1, NewYork),
    // Stored records that could hang, overflow or wrap the pass.
    S("NegativeIntervalStepsLikeZero", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays, -3,
      {Ack}, "2026-04-09 08:00:00"),
    S("HugeIntervalRestsAtTheEndOfTime", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays,
      INT32_MAX, {Ack}, EndOfTime),
    S("IntervalPast2038RestsAtTheEndOfTime", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays,
      30000, {Ack}, EndOfTime),
    S("HalfDayStepsPast2038RestAtTheEndOfTime", "@2147483000", "@2147400000", atEveryDays, 0, {Ack},
      EndOfTime),
    S("YearlyStepPast2038RestsAtTheEndOfTime", "2037-06-01 12:00", "2037-05-01 12:00", atYearly, 0,
      {Ack}, EndOfTime),
    S("PostponementPast2038RestsAtTheEndOfTime", "@2147483547", "@2147483542", atOnce, 0,
      {{RingRemindIn, "999", Days}}, EndOfTime),
    S("WhenMinusOneIsDueAndMonthlyStepsIntoTheFuture", "2026-04-08 21:00", "@-1", atMonthly, 0,
      {Ack}, "2026-05-01 00:59:59"),
    S("WhenMinusOneIsDueAndHalfDayStepsIntoTheFuture", "2026-04-08 21:00", "@-1", atEveryDays, 0,
      {Ack}, "2026-04-09 01:59:59"),
    S("UnknownTypeStaysDueAndRingsAtEveryPass", "2026-04-08 21:00", "2026-04-08 20:59", 9, 0,
      {Ack, Ack}, "2026-04-08 20:59:00", 2),
};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.Name;
}

TEST_P(CheckPass, DueRecordRingsThenMovesOnOrLeaves) {
    const Scenario& s = GetParam();
    ScopedTz zone(s.Zone);
    Clock.Time = At(s.Now);
    Add(At(s.When), "r", s.Type, s.EveryDays);
    Ringer.Script.assign(s.Answers.begin(), s.Answers.end());
    for (int i = 0; i < s.Ticks; ++i)
        Tick();

    std::vector<std::string> expected;
    if (s.After != nullptr)
        expected.push_back(std::string(s.After) + " r");
    EXPECT_EQ(expected, Schedule());
    EXPECT_EQ(s.Answers.size(), Ringer.Shown.size()) << "dialogs shown";
    EXPECT_EQ(static_cast<int>(Ringer.Shown.size()), Sound.Rings()) << "one sound per dialog";
    // A recurring record keeps its type and interval; a postponement is one-time.
    for (int i = 0; i < Table.AlarmCount; ++i) {
        EXPECT_EQ(s.Type, Table.Alarms[i]->Type);
        EXPECT_EQ(s.EveryDays, Table.Alarms[i]->EveryDays);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, CheckPass, ::testing::ValuesIn(Scenarios),
                         [](const ::testing::TestParamInfo<Scenario>& param) {
                             return std::string(param.param.Name);
                         });

TEST_F(CheckPass, TimerIsStoppedForThePassAndRestartedAfterIt) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time, "exactly now is not yet due");
    Tick();
    EXPECT_EQ(std::vector<std::string>{"set 1 30000"}, Timer.Calls) << "no timer to stop at first";

    Clock.Time += 1;
    Ringer.Script = {Ack};
    Ringer.OnShow = [&] { EXPECT_EQ("kill 1", Timer.Calls.back()); };
    Tick();
    EXPECT_EQ((std::vector<std::string>{"set 1 30000", "kill 1", "set 1 30000"}), Timer.Calls);
    EXPECT_EQ(1u, Checker.TimerId);
}

TEST_F(CheckPass, OpenSummaryHoldsTheRingUntilItCloses) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time - 10, "rdv");
    Tick(true);
    EXPECT_EQ(1, Table.AlarmCount);

    Ringer.Script = {Ack};
    Tick(false);
    EXPECT_EQ(1u, Ringer.Shown.size());
    EXPECT_EQ(0, Table.AlarmCount);
}

TEST_F(CheckPass, AcknowledgedOneTimeReminderLeavesTableFileAndList) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    const std::string longest(199, '\xE9');
    Add(Clock.Time - 10, longest.c_str());
    Add(Clock.Time + 3600, "plus tard");
    Table.RefreshAlarmList();
    List.Calls.clear();
    Ringer.Script = {Ack};
    Ringer.OnShow = [&] { EXPECT_EQ(1, Sound.Rings()) << "the sound ends before the dialog"; };
    Checker.OnCheckTimer(false);

    ASSERT_EQ(1u, Ringer.Shown.size());
    const TAlarmCheckXfer& shown = Ringer.Shown[0];
    EXPECT_EQ(longest, shown.Message);
    EXPECT_STREQ("1", shown.Delay);
    EXPECT_EQ(1, shown.DelayHours) << "Heures is preselected";
    EXPECT_EQ(0, shown.DelayDays + shown.DelayMinutes + shown.ForAll);
    // Saved once, then shown once.
    EXPECT_EQ(AlarmRecordSize, ReadBytes(Table.FileName()).size());
    EXPECT_EQ(1, Files.Counts[FaultyFileOps::RenameCall]);
    EXPECT_EQ(std::vector<std::string>{"plus tard"}, List.Texts());
    EXPECT_EQ((std::vector<std::string>{"redraw off", "clear", "redraw on", "invalidate"}),
              List.Calls);
}

TEST_F(CheckPass, ForAllAppliesTheUnitButNotTheAmountToTheOthers) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "un");
    Add(Clock.Time - 20, "deux");
    Add(Clock.Time - 10, "trois");
    Ringer.Script = {{RingRemindIn, "10", Days, true}};
    Tick();

    EXPECT_EQ(1, Sound.Rings()) << "only the first rings";
    EXPECT_EQ((std::vector<std::string>{"2026-06-02 09:00:00 deux", "2026-06-02 09:00:00 trois",
                                        "2026-06-11 09:00:00 un"}),
              Schedule());
}

TEST_F(CheckPass, FailedSaveKeepsThePassInMemoryUntilTheNextSave) {
    Clock.Time = Local(2026, 3, 2, 9, 30);
    Add(Local(2026, 3, 2, 9, 0), "due");
    Add(Local(2026, 3, 9, 9, 0), "later");
    ASSERT_TRUE(Table.SaveAlarms());
    const auto old = ReadBytes(Table.FileName());
    Files.FailCall = FaultyFileOps::RenameCall;
    Files.FailAt = Files.Counts[FaultyFileOps::RenameCall];
    Files.FailErrno = ENOSPC;
    Ringer.Script = {Ack};
    Tick();

    EXPECT_EQ(old, ReadBytes(Table.FileName()));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_EQ("File Write Error", Messages.Log[0].Text);
    EXPECT_EQ(std::vector<std::string>{"later"}, List.Texts());
    EXPECT_EQ("set 1 30000", Timer.Calls.back()) << "the program keeps checking";
    ASSERT_TRUE(Table.SaveAlarms());
    EXPECT_EQ(AlarmRecordSize, ReadBytes(Table.FileName()).size());
}

TEST_F(CheckPass, FullTableLosesNoReminderToAPostponement) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    for (int i = 0; i < TAlarmTable::MaxAlarms - 2; ++i)
        Add(Clock.Time + 3600 + i, "plus tard");
    Add(Clock.Time - 30, "important");
    Add(Local(2026, 5, 1, 8, 0), "mensuel", atMonthly);
    Ringer.Script = {{RingRemindTomorrow}, {RingRemindIn, "2", Hours}};
    Tick();

    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    // The one-time record becomes its own postponement.
    const TAlarm* once = Find("important");
    ASSERT_NE(nullptr, once);
    EXPECT_EQ(Clock.Time + 2 * 3600, once->When);
    EXPECT_EQ(atOnce, once->Type);
    // The recurring one moves on, and the user is told the postponement is missing.
    const TAlarm* monthly = Find("mensuel");
    ASSERT_NE(nullptr, monthly);
    EXPECT_EQ("2026-07-01 08:00:00", ShowLocal(monthly->When));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].Text.find("100"));
}

TEST_F(CheckPass, RingSoundPlaysTheFileOnTheSearchPathOrBeeps) {
    WriteBytes(Dir.Path("TEST-RING.WAV"), {1, 2, 3});
    ScopedEnv path("PATH", Dir.Root().c_str());
    PlayRingSound(Sound, "NO-SUCH-RING-SOUND.WAV");
    EXPECT_EQ(1, Sound.Beeps);

    PlayRingSound(Sound, "TEST-RING.WAV");
    EXPECT_EQ(std::vector<std::string>{Dir.Path("TEST-RING.WAV")}, Sound.Played);
    EXPECT_EQ(1, Sound.Beeps);

    Sound.Playable = false; // no audio device
    PlayRingSound(Sound, "TEST-RING.WAV");
    EXPECT_EQ(2, Sound.Beeps);
}

} // namespace
} // namespace vobrik
