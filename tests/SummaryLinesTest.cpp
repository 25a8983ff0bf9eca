#include "summary/SummaryLines.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::vector<std::string> Texts(const TSummaryLine* head) {
    std::vector<std::string> texts;
    for (; head != nullptr; head = head->Next.get())
        texts.push_back(head->Text);
    return texts;
}

using Lines = std::vector<std::string>;

class SummaryLines : public ::testing::Test {
  protected:
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    TAlarmTable Table{List, Messages, Clock, SystemFileOps(), Dir.Path("ALARMS.VBK")};

    void Add(int32_t when, const char* message) {
        TAlarm alarm;
        alarm.When = when;
        SetAlarmMessage(alarm, message);
        Table.Append(alarm);
    }
};

TEST_F(SummaryLines, EmptyTableGivesTwoEmptyLists) {
    const TSummaryLists lists = BuildSummaryLines(Table, Local(2026, 5, 1, 12, 0));
    EXPECT_EQ(nullptr, lists.Today);
    EXPECT_EQ(nullptr, lists.Tomorrow);
}

TEST_F(SummaryLines, TimePrefixIsTwoDigitHourAndMinute) {
    const int32_t now = Local(2026, 5, 1, 6, 0);
    Add(Local(2026, 5, 1, 7, 5), "Dentiste");
    Add(Local(2026, 5, 2, 18, 30, 59), "Train");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"07:05 - Dentiste"}, Texts(lists.Today.get()));
    EXPECT_EQ(Lines{"18:30 - Train"}, Texts(lists.Tomorrow.get()));
}

TEST_F(SummaryLines, DueExactlyNowIsNotOverdue) {
    const int32_t now = Local(2026, 5, 1, 12, 0, 30);
    Add(now, "Pile");
    Add(now - 1, "Juste avant");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ((Lines{"12:00 - Pile", "<alarme> - Juste avant"}), Texts(lists.Today.get()));
}

TEST_F(SummaryLines, OverdueRemindersOfAnyAgeAreListedUnderToday) {
    const int32_t now = Local(2026, 5, 1, 9, 0);
    Add(Local(2026, 4, 30, 18, 0), "Hier soir");
    Add(Local(2019, 1, 1, 0, 0), "Il y a longtemps");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ((Lines{"<alarme> - Hier soir", "<alarme> - Il y a longtemps"}),
              Texts(lists.Today.get()));
    EXPECT_EQ(nullptr, lists.Tomorrow);
}

TEST_F(SummaryLines, MidnightBoundariesSplitTheDays) {
    const int32_t now = Local(2026, 5, 1, 10, 0);
    const int32_t tomorrowStart = Local(2026, 5, 2);
    const int32_t dayAfterStart = Local(2026, 5, 3);
    Add(tomorrowStart - 1, "Dernier instant d'aujourd'hui");
    Add(tomorrowStart, "Minuit");
    Add(dayAfterStart - 1, "Dernier instant de demain");
    Add(dayAfterStart, "Apr\xE8s-demain");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:59 - Dernier instant d'aujourd'hui"}, Texts(lists.Today.get()));
    EXPECT_EQ((Lines{"00:00 - Minuit", "23:59 - Dernier instant de demain"}),
              Texts(lists.Tomorrow.get()));
}

TEST_F(SummaryLines, ListsFollowTableOrderNotTime) {
    const int32_t now = Local(2026, 5, 1, 8, 0);
    Add(Local(2026, 5, 1, 15, 0), "A");
    Add(Local(2026, 5, 2, 9, 0), "B");
    Add(Local(2026, 5, 1, 9, 0), "C");
    Add(Local(2026, 5, 2, 7, 0), "D");
    Add(Local(2026, 5, 1, 12, 0), "E");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ((Lines{"15:00 - A", "09:00 - C", "12:00 - E"}), Texts(lists.Today.get()));
    EXPECT_EQ((Lines{"09:00 - B", "07:00 - D"}), Texts(lists.Tomorrow.get()));
}

TEST_F(SummaryLines, MessageIsCopiedByteForByte) {
    const int32_t now = Local(2026, 5, 1, 8, 0);
    const std::string longest(199, '\xE9');
    Add(Local(2026, 5, 1, 9, 0), "F\xEAte \x80 \x9C");
    Add(Local(2026, 5, 1, 10, 0), longest.c_str());
    Add(Local(2026, 5, 1, 11, 0), "");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ((Lines{"09:00 - F\xEAte \x80 \x9C", "10:00 - " + longest, "11:00 - "}),
              Texts(lists.Today.get()));
}

TEST_F(SummaryLines, TableIsOnlyRead) {
    const int32_t now = Local(2026, 5, 1, 8, 0);
    Add(Local(2026, 5, 1, 9, 0), "Un");
    Add(Local(2026, 4, 1, 9, 0), "Deux");
    BuildSummaryLines(Table, now);
    ASSERT_EQ(2, Table.AlarmCount);
    EXPECT_STREQ("Un", Table.Alarms[0]->Message);
    EXPECT_EQ(Local(2026, 5, 1, 9, 0), Table.Alarms[0]->When);
    EXPECT_STREQ("Deux", Table.Alarms[1]->Message);
}

TEST_F(SummaryLines, FullTableListsEveryReminderOfTheDay) {
    const int32_t now = Local(2026, 5, 1, 0, 0);
    for (int i = 0; i < TAlarmTable::MaxAlarms; ++i)
        Add(now + i * 60, "x");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(TAlarmTable::MaxAlarms, CountLines(lists.Today.get()));
    EXPECT_EQ("01:39 - x", Texts(lists.Today.get()).back());
}

// Midnight is taken on the clock of the day it belongs to, so the day after a
// daylight-saving change starts at its own midnight, not an hour off.
TEST_F(SummaryLines, DayBoundsFollowSpringChangeInParis) {
    const TDayBounds bounds = SummaryDayBounds(Local(2026, 3, 28, 12, 0));
    EXPECT_EQ("2026-03-29 00:00:00", ShowLocal(bounds.TomorrowStart));
    EXPECT_EQ("2026-03-30 00:00:00", ShowLocal(bounds.DayAfterStart));
    EXPECT_EQ(23 * 3600, bounds.DayAfterStart - bounds.TomorrowStart);
}

TEST_F(SummaryLines, MondayAfterSpringChangeIsNotListedAsSunday) {
    const int32_t now = Local(2026, 3, 28, 12, 0);
    Add(Local(2026, 3, 29, 23, 30), "Dimanche soir");
    Add(Local(2026, 3, 30, 0, 30), "Lundi matin");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:30 - Dimanche soir"}, Texts(lists.Tomorrow.get()));
}

TEST_F(SummaryLines, EarlyOnTheChangeNightTomorrowStartsAtMidnightSummerTime) {
    const int32_t now = Local(2026, 3, 29, 1, 30); // still winter time
    Add(Local(2026, 3, 29, 23, 30), "Dimanche soir");
    Add(Local(2026, 3, 30, 0, 30), "Lundi matin");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:30 - Dimanche soir"}, Texts(lists.Today.get()));
    EXPECT_EQ(Lines{"00:30 - Lundi matin"}, Texts(lists.Tomorrow.get()));
}

TEST_F(SummaryLines, LastHourOfAutumnChangeDayIsTomorrowInParis) {
    const int32_t now = Local(2026, 10, 24, 12, 0); // summer time
    Add(Local(2026, 10, 25, 23, 30), "Dimanche soir");
    Add(Local(2026, 10, 26, 0, 0), "Lundi minuit");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:30 - Dimanche soir"}, Texts(lists.Tomorrow.get()));
    const TDayBounds bounds = SummaryDayBounds(now);
    EXPECT_EQ(25 * 3600, bounds.DayAfterStart - bounds.TomorrowStart);
}

// Chile changes its clocks at midnight: in April Saturday's last hour is
// lived twice, in September Sunday starts at 01:00.
TEST_F(SummaryLines, RepeatedHourBeforeMidnightStaysOnSaturdayInSantiago) {
    ScopedTz chile("America/Santiago");
    const int32_t now = Local(2026, 4, 3, 12, 0); // summer time, -03
    const int32_t sundayStart = 1775361600;       // 2026-04-05 04:00 UTC
    Add(sundayStart - 1800, "Samedi, seconde fois 23:30");
    Add(sundayStart, "Dimanche minuit");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:30 - Samedi, seconde fois 23:30"}, Texts(lists.Tomorrow.get()));
    EXPECT_EQ(sundayStart, SummaryDayBounds(now).DayAfterStart);
}

TEST_F(SummaryLines, DayWithoutMidnightStartsAtItsFirstInstantInSantiago) {
    ScopedTz chile("America/Santiago");
    const int32_t now = Local(2026, 9, 5, 12, 0);
    const int32_t sundayStart = 1788667200; // 2026-09-06 04:00 UTC, 01:00 local
    Add(sundayStart - 1, "Samedi");
    Add(sundayStart, "Dimanche");
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(Lines{"23:59 - Samedi"}, Texts(lists.Today.get()));
    EXPECT_EQ(Lines{"01:00 - Dimanche"}, Texts(lists.Tomorrow.get()));
    EXPECT_EQ(sundayStart, SummaryDayBounds(now).TomorrowStart);
}

} // namespace
} // namespace vobrik
