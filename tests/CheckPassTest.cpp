#include "core/CheckPass.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <sstream>
#include <utility>

namespace vobrik {
namespace {

using namespace vobrik::test;

using Answer = ScriptedRinger::Answer;
constexpr int Days = ScriptedRinger::Days, Hours = ScriptedRinger::Hours,
              Minutes = ScriptedRinger::Minutes;
const Answer Ack{};

// "YYYY-MM-DD HH:MM[:SS]" on the local clock.
int32_t At(const char* text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 5)
        ADD_FAILURE() << "bad time " << text;
    return Local(y, mo, d, h, mi, s);
}

class CheckPass : public ::testing::Test, protected TCoreRig {
  protected:
    void Tick(bool summaryOpen = false) {
        Table.RefreshAlarmList();
        Checker.OnCheckTimer(summaryOpen);
    }
    void Reset() {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        Ringer.Shown.clear();
        Sound.Played.clear();
    }
    std::vector<std::string> SortedSchedule() const {
        auto lines = Schedule();
        std::sort(lines.begin(), lines.end());
        return lines;
    }
};

// One due record, the answers to its dialogs, and when it or its postponement
// is due after the passes (null: the table is empty).
struct Scenario {
    const char* Name;
    const char* Now;
    const char* When;
    uint8_t Type;
    int32_t EveryDays;
    std::vector<Answer> Answers;
    const char* After;
    int Ticks = 1;
    const char* Zone = "Europe/Paris";
};

Scenario Case(const char* name, const char* now, const char* when, uint8_t type, int32_t everyDays,
              std::vector<Answer> answers, const char* after, int ticks = 1,
              const char* zone = "Europe/Paris") {
    return {name, now, when, type, everyDays, std::move(answers), after, ticks, zone};
}

const char* const NewYork = "America/New_York";
const char* const EndOfTime = "2038-01-19 04:14:07"; // INT32_MAX in Paris

const Scenario Scenarios[] = {
    Case("RappelOnNewYearsEveGivesOneMinutePastMidnight", "2026-12-31 23:59:30",
         "2026-12-31 23:59:20", atOnce, 0, {{RingRemindTomorrow}}, "2027-01-01 00:01:30"),
    Case("RappelDansNinetyMinutes", "2026-03-10 14:20:05", "2026-03-10 14:20:04", atOnce, 0,
         {{RingRemindIn, "90", Minutes}}, "2026-03-10 15:50:05"),
    Case("UnknownResultIsTreatedAsValider", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
         {{-1, "5", Days}}, nullptr),
    Case("NegativeDelayRingsAgainInTheSamePass", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
         {{RingRemindIn, "-5", Minutes}, Ack}, nullptr),
    Case("DelayFillingTheWholeFieldIsReadToItsEnd", "2026-06-01 09:00", "2026-06-01 08:59", atOnce,
         0, {{RingRemindIn, "9999", Minutes}}, "2026-06-08 07:39:00"),
    Case("DelayIsAddedToEveryTickedUnit", "2026-06-01 09:00", "2026-06-01 08:59", atOnce, 0,
         {{RingRemindIn, "2", Days | Hours | Minutes}}, "2026-06-03 11:02:00"),
    Case("MonthlyFromJan31RollsToMarch3", "2003-02-01 08:00", "2003-01-31 07:00", atMonthly, 0,
         {Ack}, "2003-03-03 07:00:00"),
    Case("MonthlyMissedForMonthsRingsOnceAndCatchesUp", "2026-09-20 12:00", "2026-01-10 18:00",
         atMonthly, 0, {Ack}, "2026-10-10 18:00:00"),
    Case("YearlyTwoYearsOverdueStepsOnceAndRingsAgainNextTick", "2026-07-01 12:00",
         "2024-05-04 09:30", atYearly, 0, {Ack, Ack}, "2026-05-04 09:30:00", 2),
    Case("YearlyOnFebruary29BecomesMarch1", "2024-03-01 00:00", "2024-02-29 08:00", atYearly, 0,
         {Ack}, "2025-03-01 08:00:00"),
    Case("DailyMissedOnAnEarlierDayMovesOnSilently", "2026-04-08 10:00", "2026-04-07 09:00",
         atEveryDays, 1, {}, "2026-04-09 09:00:00"),
    Case("DailyDueEarlierTodayRings", "2026-04-08 10:00", "2026-04-08 09:00", atEveryDays, 1, {Ack},
         "2026-04-09 09:00:00"),
    Case("DailyComparesTheDayOfTheMonthOnly", "2026-04-06 10:00", "2026-03-06 09:00", atEveryDays,
         1, {Ack}, "2026-04-07 09:00:00"),
    Case("ZeroIntervalStepsTwelveHours", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays, 0,
         {Ack}, "2026-04-09 08:00:00"),
    Case("WeeklyMovesToTheFirstFutureMondayAtTheSameHour", "2026-02-19 12:00", "2026-02-02 18:45",
         atEveryDays, 7, {Ack}, "2026-02-23 18:45:00"),
    // Daylight saving begins on 29 March in Paris and on 8 March in New York.
    Case("MonthlyAcrossTheSpringChangeKeepsTheLocalHour", "2026-03-20 12:00", "2026-03-15 10:00",
         atMonthly, 0, {Ack}, "2026-04-15 10:00:00"),
    Case("WeeklyAcrossTheSpringChangeKeepsTheLocalHour", "2026-03-10 12:00", "2026-03-02 09:00",
         atEveryDays, 7, {Ack}, "2026-03-16 09:00:00", 1, NewYork),
    // 01:00 to 02:00 happens twice that night: three hours later is 02:30.
    Case("RappelDansHoursCountsRealTimeAcrossTheAutumnChange", "2026-11-01 00:30",
         "2026-11-01 00:29", atOnce, 0, {{RingRemindIn, "3", Hours}}, "2026-11-01 02:30:00", 1,
         NewYork),
    // Stored records that could hang, overflow or wrap the pass.
    Case("NegativeIntervalStepsLikeZero", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays, -3,
         {Ack}, "2026-04-09 08:00:00"),
    Case("HugeIntervalRestsAtTheEndOfTime", "2026-04-08 21:00", "2026-04-08 08:00", atEveryDays,
         INT32_MAX, {Ack}, EndOfTime),
    Case("PostponementPast2038RestsAtTheEndOfTime", "2038-01-19 04:12:27", "2038-01-19 04:12:22",
         atOnce, 0, {{RingRemindIn, "999", Days}}, EndOfTime),
    Case("UnknownTypeStaysDueAndRingsAtEveryPass", "2026-04-08 21:00", "2026-04-08 20:59", 9, 0,
         {Ack, Ack}, "2026-04-08 20:59:00", 2),
};

TEST_F(CheckPass, DueRecordRingsThenMovesOnOrLeaves) {
    for (const Scenario& s : Scenarios) {
        SCOPED_TRACE(s.Name);
        ScopedTz zone(s.Zone);
        Reset();
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
        for (int i = 0; i < Table.AlarmCount; ++i)
            EXPECT_EQ(std::make_pair(s.Type, s.EveryDays),
                      std::make_pair(Table.Alarms[i]->Type, Table.Alarms[i]->EveryDays));
    }
}

// What one answer settles for the records that fall due after it in the same
// pass: un, deux and trois are due 30, 20 and 10 seconds ago.
TEST_F(CheckPass, AnswerWithTheBoxTickedSettlesTheOthersWithoutADialog) {
    const struct {
        const char* Name;
        std::vector<Answer> Answers;
        std::vector<std::string> After;
    } cases[] = {
        {"box not ticked: each rings", {Ack, Ack, Ack}, {}},
        {"Valider for all", {{RingAcknowledge, nullptr, 0, true}}, {}},
        {"Rappel for all",
         {{RingRemindTomorrow, nullptr, 0, true}},
         {"2026-06-02 00:01:00 deux", "2026-06-02 00:01:00 trois", "2026-06-02 00:01:00 un"}},
        // The unit is carried over, the amount is "1" again.
        {"Rappel dans 10 days for all",
         {{RingRemindIn, "10", Days, true}},
         {"2026-06-02 09:00:00 deux", "2026-06-02 09:00:00 trois", "2026-06-11 09:00:00 un"}},
        {"Rappel dans 90 minutes for all",
         {{RingRemindIn, "90", Minutes, true}},
         {"2026-06-01 09:01:00 deux", "2026-06-01 09:01:00 trois", "2026-06-01 10:30:00 un"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Reset();
        Clock.Time = Local(2026, 6, 1, 9, 0);
        Add(Clock.Time - 30, "un");
        Add(Clock.Time - 20, "deux");
        Add(Clock.Time - 10, "trois");
        Ringer.Script.assign(c.Answers.begin(), c.Answers.end());
        Tick();
        EXPECT_EQ(c.After, SortedSchedule());
        EXPECT_EQ(c.Answers.size(), Ringer.Shown.size());
        EXPECT_EQ(static_cast<int>(c.Answers.size()), Sound.Rings());
    }
}

// Without the box, the next record starts from "Valider": a daily reminder
// missed on an earlier day, which shows no dialog, gets no postponement.
TEST_F(CheckPass, AnswerIsNotCarriedOverWithoutTheBox) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Local(2026, 5, 31, 8, 0), "un");
    Add(Local(2026, 5, 31, 8, 30), "chaque jour", atEveryDays, 1);
    Ringer.Script = {{RingRemindTomorrow}};
    Tick();
    EXPECT_EQ(
        (std::vector<std::string>{"2026-06-02 00:01:00 un", "2026-06-02 08:30:00 chaque jour"}),
        SortedSchedule());
}

// The for-all mode ends with its pass; every dialog opens on "1", "Heures" and
// the box clear.
TEST_F(CheckPass, ForAllEndsWithThePassAndEachDialogOpensOnThePresets) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "un");
    Ringer.Script = {{RingRemindIn, "10", Days, true}};
    Tick();
    Clock.Time = Local(2026, 6, 1, 9, 1);
    Add(Clock.Time - 20, "deux");
    Add(Clock.Time - 10, "trois");
    Ringer.Script = {Ack, Ack};
    Tick();
    ASSERT_EQ(3u, Ringer.Shown.size());
    for (const TAlarmCheckXfer& shown : Ringer.Shown) {
        EXPECT_STREQ("1", shown.Delay);
        EXPECT_EQ(1, shown.DelayHours);
        EXPECT_EQ(0, shown.DelayDays + shown.DelayMinutes + shown.ForAll);
    }
    EXPECT_STREQ("deux", Ringer.Shown[1].Message);
}

// A user who takes five minutes to answer postpones from the answer.
TEST_F(CheckPass, PostponementCountsFromTheAnswer) {
    Clock.Time = Local(2026, 6, 1, 9, 0);
    Add(Clock.Time - 30, "un");
    Add(Clock.Time - 20, "deux");
    Ringer.OnShow = [&] { Clock.Time += 300; };
    Ringer.Script = {{RingRemindIn, "90", Minutes}, {RingRemindTomorrow}};
    Tick();
    EXPECT_EQ((std::vector<std::string>{"2026-06-01 10:35:00 un", "2026-06-02 00:01:00 deux"}),
              SortedSchedule());
}

TEST_F(CheckPass, TimerIsStoppedForThePassAndRestartedAfterIt) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time, "exactly now is not yet due");
    Tick();
    EXPECT_EQ(std::vector<std::string>{"set 1 30000"}, Timer.Calls);

    Clock.Time += 1;
    Add(Clock.Time, "now");
    Ringer.Script = {Ack};
    Ringer.OnShow = [&] { EXPECT_EQ("kill 1", Timer.Calls.back()); };
    Tick();
    EXPECT_EQ((std::vector<std::string>{"set 1 30000", "kill 1", "set 1 30000"}), Timer.Calls);
    EXPECT_EQ(std::vector<std::string>{"now"}, List.Texts())
        << "due only once the clock has passed it";
}

TEST_F(CheckPass, OpenSummaryHoldsTheRingUntilItCloses) {
    Clock.Time = Local(2026, 5, 1, 12, 0);
    Add(Clock.Time - 10, "rdv");
    Add(Clock.Time + 3600, "plus tard");
    Tick(true);
    EXPECT_EQ(2, Table.AlarmCount);

    Ringer.Script = {Ack};
    Tick(false);
    EXPECT_EQ(std::vector<std::string>{"plus tard"}, List.Texts());
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

    // The one-time record becomes its own postponement; the monthly one moves
    // on, and the user is told its postponement is missing.
    const auto schedule = Schedule();
    EXPECT_EQ(TAlarmTable::MaxAlarms, Table.AlarmCount);
    for (const char* kept : {"2026-06-01 11:00:00 important", "2026-07-01 08:00:00 mensuel"})
        EXPECT_EQ(1, std::count(schedule.begin(), schedule.end(), kept)) << kept;
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_NE(std::string::npos, Messages.Log[0].find("100"));
}

// One merge for every door: a ring answered or a reminder edited here while
// another program rewrites the file. What the file holds after ("MM-DD HH:MM
// message" by time), and whether the user is told. Now is 1 June 2026, 09:00.
std::map<std::string, TAlarm> Known() { // read on the test's clock
    return {
        {"rdv", {At("2026-06-01 08:00"), "rdv", atOnce}},
        {"mois", {At("2026-05-01 10:00"), "mois", atMonthly}},
        {"mois-avril", {At("2026-04-01 10:00"), "mois", atMonthly}}, // an older backup
        {"mois-B", {At("2026-06-15 08:00"), "mois B", atMonthly}},
        {"autre", {At("2026-06-02 10:00"), "autre", atOnce}},
        {"x", {At("2026-06-03 10:00"), "x", atOnce}},
        {"x-ailleurs", {At("2026-06-03 10:00"), "x ailleurs", atOnce}},
    };
}

struct MergeCase {
    const char *Name, *Start, *Elsewhere; // the file as loaded, and as another program leaves it
    std::vector<Answer> Answers;          // to the ring of the one due; else Edit
    const char* Edit;                     // the new text of "x", "" to delete it
    const char* After;
    bool Told = false;
};

MergeCase Merge(const char* name, const char* start, const char* elsewhere,
                std::vector<Answer> answers, const char* edit, const char* after,
                bool told = false) {
    return {name, start, elsewhere, std::move(answers), edit, after, told};
}

const MergeCase MergeCases[] = {
    Merge("ValiderOnOneDeletedElsewhere", "rdv autre", "autre", {Ack}, nullptr,
          "06-02 10:00 autre"),
    Merge("RappelOnOneDeletedElsewhere", "rdv autre", "autre", {{RingRemindTomorrow}}, nullptr,
          "06-02 10:00 autre"),
    Merge("ValiderOnAMonthlyDeletedElsewhere", "mois autre", "autre", {Ack}, nullptr,
          "06-02 10:00 autre"),
    Merge("ValiderOnAMonthlyChangedElsewhere", "mois autre", "autre mois-B", {Ack}, nullptr,
          "06-02 10:00 autre, 06-15 08:00 mois B"),
    Merge("AnOlderBackupPutBackDuringARingIsNotDoubled", "mois autre", "mois-avril autre", {Ack},
          nullptr, "06-01 10:00 mois, 06-02 10:00 autre"),
    Merge("AnEditOfOneDeletedElsewhereIsKeptAndSaid", "x autre", "autre", {}, "x ici",
          "06-02 10:00 autre, 06-03 10:00 x ici", true),
    Merge("TwoEditsOfOneAreBothKeptAndSaid", "x autre", "autre x-ailleurs", {}, "x ici",
          "06-02 10:00 autre, 06-03 10:00 x ailleurs, 06-03 10:00 x ici", true),
    Merge("AChangeElsewhereBeatsADeletionHere", "x autre", "autre x-ailleurs", {}, "",
          "06-02 10:00 autre, 06-03 10:00 x ailleurs"),
};

std::vector<unsigned char> Records(const std::string& names) {
    std::vector<TAlarm> alarms;
    std::istringstream words(names);
    for (std::string name; words >> name;)
        alarms.push_back(Known().at(name));
    return FileImage(alarms);
}

TEST_F(CheckPass, OneMergeForEveryDoor) {
    for (const MergeCase& c : MergeCases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(Table.FileName(), Records(c.Start));
        ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms());
        Messages.Log.clear();
        Clock.Time = At("2026-06-01 09:00");
        const auto elsewhere = [&] { WriteBytes(Table.FileName(), Records(c.Elsewhere)); };
        if (c.Edit == nullptr) {
            Ringer.Script = {c.Answers.begin(), c.Answers.end()};
            Ringer.OnShow = elsewhere;
            Tick();
        } else {
            elsewhere();
            if (*c.Edit != '\0') // "x", after "autre"
                SetAlarmMessage(*Table.Alarms[1], c.Edit);
            else
                Table.RemoveAt(1);
            Table.SaveAlarms();
        }
        EXPECT_EQ(c.Told, !Messages.Log.empty());
        ASSERT_EQ(TLoadResult::Loaded, Table.LoadAlarms()); // what the file holds
        std::string kept;
        for (const std::string& line : Schedule())
            kept += (kept.empty() ? "" : ", ") + line.substr(5, 11) + line.substr(19);
        EXPECT_EQ(c.After, kept);
    }
}

} // namespace
} // namespace vobrik
