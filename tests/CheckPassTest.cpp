#include "core/CheckPass.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace vobrik {
namespace {

using namespace vobrik::test;

constexpr int Days = 1, Hours = 2, Minutes = 3;

class CheckPassTest : public ::testing::Test {
  protected:
    explicit CheckPassTest(const char* zone = "Europe/Paris") : Zone(zone) {}

    ScopedTz Zone;
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FakeTimer Timer;
    FakeSound Sound;
    ScriptedRinger Ringer;
    TAlarmTable Table{List, Messages, Clock, SystemFileOps(), Dir.Path("ALARMS.VBK")};
    TAlarmChecker Checker{Table, Timer, Sound, Ringer};

    TAlarm& Add(int32_t when, const char* message, uint8_t type = atOnce, int32_t every = 0) {
        TAlarm alarm;
        alarm.When = when;
        SetAlarmMessage(alarm, message);
        alarm.Type = type;
        alarm.EveryDays = every;
        return *Table.Append(alarm);
    }
    void Answer(int result, const char* delay = nullptr, int unit = 0, bool forAll = false) {
        Ringer.Script.push_back({result, delay, unit, forAll});
    }
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

class CheckPassNewYork : public CheckPassTest {
  protected:
    CheckPassNewYork() : CheckPassTest("America/New_York") {}
};

TEST_F(CheckPassTest, TickWithNothingDueOnlyRestartsTheTimer) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time, "exactly now is not yet due");
    Checker.TimerId = 1;
    Tick();
    EXPECT_EQ((std::vector<std::string>{"kill 1", "set 1 30000"}), Timer.Calls);
    EXPECT_EQ(1u, Checker.TimerId);
    EXPECT_EQ(0, Sound.Rings());
    EXPECT_TRUE(Ringer.Shown.empty());
}

TEST_F(CheckPassTest, FirstTickKillsNoTimerWhenNoneRuns) {
    Tick();
    EXPECT_EQ((std::vector<std::string>{"set 1 30000"}), Timer.Calls);
}

TEST_F(CheckPassTest, OpenSummaryHoldsTheRingUntilItCloses) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time - 10, "rdv");
    Tick(true);
    EXPECT_TRUE(Ringer.Shown.empty());
    EXPECT_EQ(1, Table.AlarmCount);

    Answer(RingAcknowledge);
    Tick(false);
    EXPECT_EQ(1u, Ringer.Shown.size());
    EXPECT_EQ(0, Table.AlarmCount);
}

TEST_F(CheckPassTest, AcknowledgedOneTimeReminderLeavesTableFileAndList) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time - 10, "rdv dentiste");
    Add(Clock.Time + 3600, "plus tard");
    Answer(RingAcknowledge);
    Tick();

    ASSERT_EQ(1u, Ringer.Shown.size());
    EXPECT_STREQ("rdv dentiste", Ringer.Shown[0].Message);
    EXPECT_STREQ("1", Ringer.Shown[0].Delay);
    EXPECT_EQ(1, Ringer.Shown[0].DelayHours);
    EXPECT_EQ(0, Ringer.Shown[0].DelayDays + Ringer.Shown[0].DelayMinutes + Ringer.Shown[0].ForAll);
    EXPECT_EQ(1, Sound.Rings());
    EXPECT_EQ(std::vector<std::string>{"plus tard"}, List.Texts());
    EXPECT_EQ(AlarmRecordSize, ReadBytes(Table.FileName()).size());
}

TEST_F(CheckPassTest, RemindTomorrowOnNewYearsEveGivesOneMinutePastMidnight) {
    Clock.Time = Local(2026, 12, 31, 23, 59, 30);
    Add(Clock.Time - 10, "bonne ann\xE9"
                         "e");
    Answer(RingRemindTomorrow);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2027-01-01 00:01:30 bonne ann\xE9"
                                       "e"},
              Schedule());
    EXPECT_EQ(atOnce, Table.Alarms[0]->Type);
    EXPECT_EQ(2, Table.Alarms[0]->Id) << "the postponement takes the next Id";
}

TEST_F(CheckPassTest, RemindInNinetyMinutes) {
    Clock.Time = Local(2026, 3, 10, 14, 20, 5);
    Add(Clock.Time - 1, "appel");
    Answer(RingRemindIn, "90", Minutes);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2026-03-10 15:50:05 appel"}, Schedule());
}

TEST_F(CheckPassTest, ForAllAppliesTheUnitButNotTheAmountToTheOthers) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "un");
    Add(Clock.Time - 20, "deux");
    Add(Clock.Time - 10, "trois");
    Answer(RingRemindIn, "10", Days, true);
    Tick();

    EXPECT_EQ(1u, Ringer.Shown.size()) << "only the first is shown";
    EXPECT_EQ(1, Sound.Rings());
    EXPECT_EQ((std::vector<std::string>{"2026-06-02 09:00:00 deux", "2026-06-02 09:00:00 trois",
                                        "2026-06-11 09:00:00 un"}),
              Schedule());
}

TEST_F(CheckPassTest, ForAllWithAcknowledgeCreatesNothing) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "un");
    Add(Clock.Time - 20, "deux");
    Answer(RingAcknowledge, nullptr, 0, true);
    Tick();
    EXPECT_EQ(0, Table.AlarmCount);
}

TEST_F(CheckPassTest, UnknownResultIsTreatedAsAcknowledge) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "x");
    Answer(-1, "5", Days);
    Tick();
    EXPECT_EQ(0, Table.AlarmCount);
}

TEST_F(CheckPassTest, NegativeDelayRingsAgainInTheSamePass) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "encore");
    Answer(RingRemindIn, "-5", Minutes);
    Answer(RingAcknowledge);
    Tick();
    ASSERT_EQ(2u, Ringer.Shown.size());
    EXPECT_STREQ("encore", Ringer.Shown[1].Message);
    EXPECT_EQ(0, Table.AlarmCount);
}

TEST_F(CheckPassTest, DelayReadsLeadingDigitsOnly) {
    Clock.Time = Local(2026, 6, 1, 9, 0, 0);
    Add(Clock.Time - 30, "a");
    Add(Clock.Time - 20, "b");
    Answer(RingRemindIn, "2h", Hours);
    Answer(RingRemindIn, "", Hours); // an empty amount postpones to this second
    Tick();
    EXPECT_EQ((std::vector<std::string>{"2026-06-01 09:00:00 b", "2026-06-01 11:00:00 a"}),
              Schedule());
}

TEST_F(CheckPassTest, MonthlyFromDecemberMovesIntoNextYear) {
    Clock.Time = Local(2026, 12, 20, 12, 0);
    Add(Local(2026, 12, 15, 10, 0), "loyer", atMonthly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2027-01-15 10:00:00 loyer"}, Schedule());
}

TEST_F(CheckPassTest, MonthlyFromJan31RollsToMarch3) {
    Clock.Time = Local(2003, 2, 1, 8, 0);
    Add(Local(2003, 1, 31, 7, 0), "fin de mois", atMonthly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2003-03-03 07:00:00 fin de mois"}, Schedule());

    Clock.Time = Local(2003, 3, 4, 8, 0);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2003-04-03 07:00:00 fin de mois"}, Schedule());
}

TEST_F(CheckPassTest, MonthlyFromJan31RollsToMarch2InALeapYear) {
    Clock.Time = Local(2004, 2, 1, 8, 0);
    Add(Local(2004, 1, 31, 7, 0), "fin de mois", atMonthly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2004-03-02 07:00:00 fin de mois"}, Schedule());
}

TEST_F(CheckPassTest, MonthlyMissedForMonthsRingsOnceAndCatchesUp) {
    Clock.Time = Local(2026, 9, 20, 12, 0);
    Add(Local(2026, 1, 10, 18, 0), "facture", atMonthly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(1u, Ringer.Shown.size());
    EXPECT_EQ(std::vector<std::string>{"2026-10-10 18:00:00 facture"}, Schedule());
}

TEST_F(CheckPassTest, YearlyTwoYearsOverdueStepsOnceAndRingsAgainNextTick) {
    Clock.Time = Local(2026, 7, 1, 12, 0);
    Add(Local(2024, 5, 4, 9, 30), "anniversaire", atYearly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2025-05-04 09:30:00 anniversaire"}, Schedule());

    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(2u, Ringer.Shown.size());
    EXPECT_EQ(std::vector<std::string>{"2026-05-04 09:30:00 anniversaire"}, Schedule());
}

TEST_F(CheckPassTest, YearlyOnFebruary29BecomesMarch1) {
    Clock.Time = Local(2024, 3, 1, 0, 0);
    Add(Local(2024, 2, 29, 8, 0), "bissextile", atYearly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2025-03-01 08:00:00 bissextile"}, Schedule());
}

TEST_F(CheckPassTest, DailyMissedOnAnEarlierDayMovesOnSilently) {
    Clock.Time = Local(2026, 4, 8, 10, 0);
    Add(Local(2026, 4, 7, 9, 0),
        "m\xE9"
        "dicament",
        atEveryDays, 1);
    Tick();
    EXPECT_TRUE(Ringer.Shown.empty());
    EXPECT_EQ(0, Sound.Rings());
    EXPECT_EQ(std::vector<std::string>{"2026-04-09 09:00:00 m\xE9"
                                       "dicament"},
              Schedule());
}

TEST_F(CheckPassTest, DailyDueEarlierTodayRings) {
    Clock.Time = Local(2026, 4, 8, 10, 0);
    Add(Local(2026, 4, 8, 9, 0), "pilule", atEveryDays, 1);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(1u, Ringer.Shown.size());
    EXPECT_EQ(std::vector<std::string>{"2026-04-09 09:00:00 pilule"}, Schedule());
}

TEST_F(CheckPassTest, DailyComparesTheDayOfTheMonthOnly) {
    Clock.Time = Local(2026, 4, 6, 10, 0);
    Add(Local(2026, 3, 6, 9, 0), "pilule", atEveryDays, 1);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(1u, Ringer.Shown.size());
    EXPECT_EQ(std::vector<std::string>{"2026-04-07 09:00:00 pilule"}, Schedule());
}

TEST_F(CheckPassTest, ZeroIntervalStepsTwelveHours) {
    Clock.Time = Local(2026, 4, 8, 21, 0);
    Add(Local(2026, 4, 8, 8, 0), "deux fois par jour", atEveryDays, 0);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2026-04-09 08:00:00 deux fois par jour"}, Schedule());
}

TEST_F(CheckPassTest, WeeklyMovesToTheFirstFutureMondayAtTheSameHour) {
    Clock.Time = Local(2026, 2, 19, 12, 0);                      // a Thursday
    Add(Local(2026, 2, 2, 18, 45), "poubelles", atEveryDays, 7); // a Monday
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2026-02-23 18:45:00 poubelles"}, Schedule());
}

TEST_F(CheckPassTest, StepsAcrossDaylightSavingKeepTheLocalHour) {
    Clock.Time = Local(2026, 3, 20, 12, 0);
    Add(Local(2026, 3, 15, 10, 0), "mensuel", atMonthly);        // winter time
    Add(Local(2026, 3, 27, 7, 30), "quotidien", atEveryDays, 1); // not yet due
    Answer(RingAcknowledge);
    Tick();
    Clock.Time = Local(2026, 3, 30, 12, 0); // summer time since the 29th
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(
        (std::vector<std::string>{"2026-03-31 07:30:00 quotidien", "2026-04-15 10:00:00 mensuel"}),
        Schedule());
}

TEST_F(CheckPassNewYork, WeeklyAcrossTheSpringChangeKeepsTheLocalHour) {
    Clock.Time = Local(2026, 3, 10, 12, 0); // daylight saving began on the 8th
    Add(Local(2026, 3, 2, 9, 0), "r\xE9union", atEveryDays, 7);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2026-03-16 09:00:00 r\xE9union"}, Schedule());
}

TEST_F(CheckPassNewYork, RemindInHoursCountsRealTimeAcrossTheAutumnChange) {
    Clock.Time = Local(2026, 11, 1, 0, 30); // 01:00 to 02:00 happens twice tonight
    Add(Clock.Time - 5, "veille");
    Answer(RingRemindIn, "3", Hours);
    Tick();
    ASSERT_EQ(1, Table.AlarmCount);
    EXPECT_EQ(Clock.Time + 3 * 3600, Table.Alarms[0]->When);
}

TEST_F(CheckPassTest, OnePassSavesOnceThenRefreshesOnce) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "a", atMonthly);
    Add(Clock.Time - 20, "b", atYearly);
    Table.RefreshAlarmList();
    List.Calls.clear();
    Answer(RingAcknowledge);
    Answer(RingAcknowledge);
    Checker.OnCheckTimer(false);
    EXPECT_EQ((std::vector<std::string>{"redraw off", "clear", "redraw on", "invalidate"}),
              List.Calls);
    EXPECT_EQ(2u * AlarmRecordSize, ReadBytes(Table.FileName()).size());
}

TEST_F(CheckPassTest, SoundPlaysBeforeEachDialog) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "a");
    Add(Clock.Time - 20, "b");
    std::vector<int> ringsAtShow;
    Ringer.OnShow = [&] { ringsAtShow.push_back(Sound.Rings()); };
    Answer(RingAcknowledge);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ((std::vector<int>{1, 2}), ringsAtShow);
}

TEST_F(CheckPassTest, LongestMessageReachesTheDialogWhole) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    const std::string text(199, '\xE9');
    Add(Clock.Time - 30, text.c_str());
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(text, Ringer.Shown[0].Message);
}

// Stored records that could hang, overflow or wrap the pass.

TEST_F(CheckPassTest, NegativeIntervalStepsLikeZeroAndEnds) {
    Clock.Time = Local(2026, 4, 8, 21, 0);
    Add(Local(2026, 4, 8, 8, 0), "n\xE9gatif", atEveryDays, -3);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(std::vector<std::string>{"2026-04-09 08:00:00 n\xE9gatif"}, Schedule());
    EXPECT_EQ(-3, Table.Alarms[0]->EveryDays) << "the stored value is kept";
}

TEST_F(CheckPassTest, HugeIntervalRestsAtTheEndOfTime) {
    Clock.Time = Local(2026, 4, 8, 21, 0);
    Add(Local(2026, 4, 8, 8, 0), "a", atEveryDays, INT32_MAX);
    Add(Local(2026, 4, 8, 8, 0), "b", atEveryDays, 30000);
    Answer(RingAcknowledge);
    Answer(RingAcknowledge);
    Tick();
    ASSERT_EQ(2, Table.AlarmCount);
    EXPECT_EQ(INT32_MAX, Table.Alarms[0]->When);
    EXPECT_EQ(INT32_MAX, Table.Alarms[1]->When);

    Tick();
    EXPECT_EQ(2u, Ringer.Shown.size()) << "resting records never ring again";
}

TEST_F(CheckPassTest, WhenMinusOneIsDueAndStepsIntoTheFuture) {
    Clock.Time = Local(2026, 4, 8, 21, 0);
    Add(-1, "mensuel", atMonthly);
    Add(-1, "tous les jours", atEveryDays, 0);
    Answer(RingAcknowledge);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(2u, Ringer.Shown.size());
    for (int i = 0; i < Table.AlarmCount; ++i)
        EXPECT_GT(Table.Alarms[i]->When, Clock.Time);
}

TEST_F(CheckPassTest, YearlyStepPast2038RestsAtTheEndOfTime) {
    Clock.Time = Local(2037, 6, 1, 12, 0);
    Add(Local(2037, 5, 1, 12, 0), "2038", atYearly);
    Answer(RingAcknowledge);
    Tick();
    EXPECT_EQ(INT32_MAX, Table.Alarms[0]->When);
}

TEST_F(CheckPassTest, PostponementPast2038RestsAtTheEndOfTime) {
    Clock.Time = INT32_MAX - 100;
    Add(Clock.Time - 5, "fin");
    Answer(RingRemindIn, "999", Days);
    Tick();
    ASSERT_EQ(1, Table.AlarmCount);
    EXPECT_EQ(INT32_MAX, Table.Alarms[0]->When);
}

TEST_F(CheckPassTest, UnknownTypeStaysDueAndRingsAtEveryPass) {
    Clock.Time = Local(2026, 4, 8, 21, 0);
    Add(Clock.Time - 5, "bizarre", 9);
    Answer(RingAcknowledge);
    Answer(RingAcknowledge);
    Tick();
    Tick();
    EXPECT_EQ(2u, Ringer.Shown.size());
    EXPECT_EQ(1, Table.AlarmCount);
}

// Capacity.

TEST_F(CheckPassTest, FullTableTurnsTheOneTimeReminderIntoItsPostponement) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    for (int i = 0; i < TAlarmTable::MaxAlarms - 1; ++i)
        Add(Clock.Time + 3600 + i, "plus tard");
    Add(Clock.Time - 30, "important");
    Answer(RingRemindIn, "2", Hours);
    Tick();
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    const TAlarm* kept = Find("important");
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(Clock.Time + 2 * 3600, kept->When);
    EXPECT_EQ(atOnce, kept->Type);
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(CheckPassTest, FullTableKeepsTheRecurringReminderAndSaysThePostponementIsMissing) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    for (int i = 0; i < TAlarmTable::MaxAlarms - 1; ++i)
        Add(Clock.Time + 3600 + i, "plus tard");
    Add(Local(2026, 5, 1, 8, 0), "mensuel", atMonthly);
    Answer(RingRemindTomorrow);
    Tick();
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    const TAlarm* kept = Find("mensuel");
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ("2026-07-01 08:00:00", ShowLocal(kept->When));
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].Text.find("100"));
}

// The ring sound.

// What a user may type as the amount of "Rappel dans": read as atol reads it,
// never past the four bytes of the field, and added to each unit that is
// checked, on a reminder answered at 09:00:00.
struct TypedDelay {
    const char* Delay; // up to 4 bytes; with 4 the field has no terminating zero
    uint16_t Days, Hours, Minutes;
    const char* Postponed;
};

void PrintTo(const TypedDelay& typed, std::ostream* out) {
    *out << '"' << typed.Delay << "\" " << typed.Days << typed.Hours << typed.Minutes;
}

class TypingRinger : public IRinger {
  public:
    explicit TypingRinger(const TypedDelay& typed) : Typed(typed) {}
    int RingAlarm(TAlarmCheckXfer& xfer) override {
        std::memset(xfer.Delay, 0, sizeof xfer.Delay);
        std::memcpy(xfer.Delay, Typed.Delay, strnlen(Typed.Delay, sizeof xfer.Delay));
        xfer.DelayDays = Typed.Days;
        xfer.DelayHours = Typed.Hours;
        xfer.DelayMinutes = Typed.Minutes;
        return RingRemindIn;
    }
    TypedDelay Typed;
};

class CheckPassTypedDelay : public CheckPassTest,
                            public ::testing::WithParamInterface<TypedDelay> {};

TEST_P(CheckPassTypedDelay, PostponesByWhatAtolReads) {
    Clock.Time = Local(2026, 6, 1, 9, 0, 0);
    Add(Clock.Time - 30, "r");
    TypingRinger typing(GetParam());
    TAlarmChecker checker(Table, Timer, Sound, typing);
    Table.RefreshAlarmList();
    checker.OnCheckTimer(false);
    EXPECT_EQ(std::vector<std::string>{std::string(GetParam().Postponed) + " r"}, Schedule());
}

INSTANTIATE_TEST_SUITE_P(OddAmounts, CheckPassTypedDelay,
                         ::testing::Values(TypedDelay{"abc", 0, 1, 0, "2026-06-01 09:00:00"},
                                           TypedDelay{"+7", 1, 0, 0, "2026-06-08 09:00:00"},
                                           TypedDelay{" 5", 0, 0, 1, "2026-06-01 09:05:00"},
                                           TypedDelay{"999", 1, 0, 0, "2029-02-24 09:00:00"},
                                           TypedDelay{"9999", 0, 0, 1, "2026-06-08 07:39:00"},
                                           TypedDelay{"1e3", 0, 0, 1, "2026-06-01 09:01:00"},
                                           TypedDelay{"0x9", 0, 1, 0, "2026-06-01 09:00:00"},
                                           TypedDelay{"\xFF\x80", 0, 1, 0, "2026-06-01 09:00:00"},
                                           TypedDelay{"5", 0, 0, 0, "2026-06-01 09:00:00"},
                                           TypedDelay{"2", 1, 1, 1, "2026-06-03 11:02:00"}));

TEST(RingSound, BeepsWhenTheFileIsMissing) {
    FakeSound sound;
    PlayRingSound(sound, "NO-SUCH-RING-SOUND.WAV");
    EXPECT_TRUE(sound.Played.empty());
    EXPECT_EQ(1, sound.Beeps);
}

TEST(RingSound, PlaysTheFileFoundOnTheSearchPathAndBeepsWhenItCannot) {
    TempDir dir;
    WriteBytes(dir.Path("TEST-RING.WAV"), {1, 2, 3});
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", dir.Root().c_str(), 1);

    FakeSound sound;
    PlayRingSound(sound, "TEST-RING.WAV");
    ASSERT_EQ(1u, sound.Played.size());
    EXPECT_EQ(dir.Path("TEST-RING.WAV"), sound.Played[0]);
    EXPECT_EQ(0, sound.Beeps);

    sound.Playable = false; // no audio device
    PlayRingSound(sound, "TEST-RING.WAV");
    EXPECT_EQ(1, sound.Beeps);
    setenv("PATH", saved.c_str(), 1);
}

} // namespace
} // namespace vobrik
