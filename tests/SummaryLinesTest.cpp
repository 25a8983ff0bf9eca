#include "summary/SummaryLines.h"

#include "platform/RecordingDC.h"
#include "summary/ResWin.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

using Lines = std::vector<std::string>;

Lines Texts(const TSummaryLine* head) {
    Lines texts;
    for (; head != nullptr; head = head->Next.get())
        texts.push_back(head->Text);
    return texts;
}

class SummaryLines : public ::testing::Test, protected TCoreRig {};

// Each row is one reminder, added in this order, with the line it gets in
// either list; the lists keep table order, not time order.
TEST_F(SummaryLines, EachReminderIsListedUnderTodayOrTomorrowInTableOrder) {
    const int32_t now = Local(2026, 5, 1, 12, 0, 30);
    const int32_t tomorrowStart = Local(2026, 5, 2);
    const int32_t dayAfterStart = Local(2026, 5, 3);
    const std::string longest(199, '\xE9');
    struct Row {
        int32_t When;
        std::string Message;
        std::string Today;
        std::string Tomorrow;
    };
    const Row rows[] = {
        {Local(2026, 5, 2, 18, 30, 59), "Train", "", "18:30 - Train"},
        {now, "Pile", "12:00 - Pile", ""},
        {now - 1, "Juste avant", "<alarme> - Juste avant", ""},
        {Local(2026, 5, 1, 12, 45), longest, "12:45 - " + longest, ""},
        {tomorrowStart - 1, "Dernier instant", "23:59 - Dernier instant", ""},
        {tomorrowStart, "Minuit", "", "00:00 - Minuit"},
        {dayAfterStart - 1, "Tard demain", "", "23:59 - Tard demain"},
        {dayAfterStart, "Apr\xE8s-demain", "", ""},
    };
    Lines today;
    Lines tomorrow;
    for (const Row& row : rows) {
        Add(row.When, row.Message.c_str());
        if (!row.Today.empty())
            today.push_back(row.Today);
        if (!row.Tomorrow.empty())
            tomorrow.push_back(row.Tomorrow);
    }
    const TSummaryLists lists = BuildSummaryLines(Table, now);
    EXPECT_EQ(today, Texts(lists.Today.get()));
    EXPECT_EQ(tomorrow, Texts(lists.Tomorrow.get()));
}

// The summary opens as high as both days need, tomorrow's reminders too: its
// first paint fits, and the window does not jump.
TEST_F(SummaryLines, TheSummaryOpensAsHighAsBothDaysNeed) {
    const int32_t now = Local(2026, 5, 1, 9, 0);
    for (int i = 0; i < 3; ++i) {
        Add(Local(2026, 5, 1, 10 + i, 0), "aujourd'hui");
        Add(Local(2026, 5, 2, 10 + i, 0), "demain");
    }
    FakeSummaryOwner owner;
    FakeResWinShell shell;
    TResWin win(&owner);
    win.Attr = {100, 100, 400, 200};
    win.NameDays = [](IMessages&, int32_t, char* out, size_t) { std::strcpy(out, "Judith"); };
    TSummaryLists lists = BuildSummaryLines(Table, now);
    win.TodayLines = std::move(lists.Today);
    win.TomorrowLines = std::move(lists.Tomorrow);
    win.SetupWindow(shell);
    TRecordingDC dc;
    win.Paint(dc, now);
    EXPECT_EQ(1, shell.Calls) << "opened " << shell.OuterHeight << " high, then grown";
}

// Midnight is taken on the clock of the day it belongs to, so a day next to a
// daylight-saving change starts at its own midnight, not an hour off. Chile
// changes at midnight: in April Saturday's last hour is lived twice, in
// September Sunday starts at 01:00.
TEST_F(SummaryLines, DaysNextToADaylightSavingChangeStartAtTheirOwnMidnight) {
    struct Case {
        const char* Zone;
        int Month, Day, Hour;
        const char* TomorrowStart;
        const char* DayAfterStart;
    };
    const Case cases[] = {
        {"Europe/Paris", 3, 28, 12, "2026-03-29 00:00:00", "2026-03-30 00:00:00"},
        {"Europe/Paris", 3, 29, 1, "2026-03-30 00:00:00", "2026-03-31 00:00:00"},
        {"Europe/Paris", 10, 24, 12, "2026-10-25 00:00:00", "2026-10-26 00:00:00"},
        {"America/Santiago", 4, 3, 12, "2026-04-04 00:00:00", "2026-04-05 00:00:00"},
        {"America/Santiago", 9, 5, 12, "2026-09-06 01:00:00", "2026-09-07 00:00:00"},
    };
    for (const Case& c : cases) {
        ScopedTz zone(c.Zone);
        const int32_t now = Local(2026, c.Month, c.Day, c.Hour, 0);
        SCOPED_TRACE(std::string(c.Zone) + " " + ShowLocal(now));
        const TDayBounds bounds = SummaryDayBounds(now);
        EXPECT_EQ(c.TomorrowStart, ShowLocal(bounds.TomorrowStart));
        EXPECT_EQ(c.DayAfterStart, ShowLocal(bounds.DayAfterStart));
    }
}

} // namespace
} // namespace vobrik
