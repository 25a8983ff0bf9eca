// Costs of the day summary: building its lines from a full table, and one
// whole paint with the two name-day lookups it makes.

#include "summary/ResWin.h"
#include "summary/SummaryLines.h"

#include "Support.h"
#include "platform/RecordingDC.h"
#include "platform/SearchPath.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

struct SummaryBench {
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    TAlarmTable Table{List, Messages, Clock, SystemFileOps(), Dir.Path("ALARMS.VBK")};
    int32_t Now = Local(2026, 12, 6, 12, 0);

    // A full table, in due order as it always is, from yesterday to three days
    // ahead: overdue, today, tomorrow and later reminders all in it.
    SummaryBench() {
        const int32_t first = Now - 86400;
        for (int i = 0; i < TAlarmTable::MaxAlarms; ++i) {
            TAlarm alarm;
            alarm.When = first + i * (4 * 86400 / TAlarmTable::MaxAlarms);
            SetAlarmMessage(alarm, ("Rendez-vous num\xE9ro " + std::to_string(i)).c_str());
            Table.Append(alarm);
        }
    }
};

void BM_BuildSummaryLines100(benchmark::State& state) {
    SummaryBench b;
    int today = 0, tomorrow = 0;
    for (auto _ : state) {
        TSummaryLists lists = BuildSummaryLines(b.Table, b.Now);
        today = CountLines(lists.Today.get());
        tomorrow = CountLines(lists.Tomorrow.get());
        benchmark::DoNotOptimize(lists);
    }
    state.SetLabel(std::to_string(today) + " today, " + std::to_string(tomorrow) + " tomorrow");
}
BENCHMARK(BM_BuildSummaryLines100);

// One paint as the window makes it, on a recording surface: the two dates, the
// two name-day lookups on the shipped FETES.TXT, and the lines of a full table.
void PaintSummary(benchmark::State& state, bool lookUp) {
    SummaryBench b;
    char path[300];
    if (lookUp && !SearchPath("FETES.TXT", path, sizeof path)) {
        state.SkipWithError("FETES.TXT is not beside the benchmark");
        return;
    }
    FakeSummaryOwner owner;
    FakeResWinShell shell;
    TResWin win(&owner);
    win.Attr = {100, 100, 400, 200};
    if (!lookUp)
        win.NameDays = [](IMessages&, int32_t, char* out, size_t) {
            std::strcpy(out, "Nicolas, Colas, Nicole, Colette");
        };
    TSummaryLists lists = BuildSummaryLines(b.Table, b.Now);
    win.TodayLines = std::move(lists.Today);
    win.TomorrowLines = std::move(lists.Tomorrow);
    win.SetupWindow(shell);
    size_t calls = 0;
    for (auto _ : state) {
        TRecordingDC dc;
        win.Paint(dc, b.Now);
        calls = dc.Calls;
        benchmark::DoNotOptimize(dc.Texts.data());
    }
    state.SetLabel(std::to_string(calls) + " calls recorded" +
                   (lookUp ? ", " + std::string(path) : ""));
    if (shell.Calls > 2)
        state.SkipWithError("a name-day lookup failed");
}

void BM_SummaryPaint(benchmark::State& state) {
    PaintSummary(state, true);
}
BENCHMARK(BM_SummaryPaint);

// The same paint without the lookups, to tell their share.
void BM_SummaryPaintWithoutLookups(benchmark::State& state) {
    PaintSummary(state, false);
}
BENCHMARK(BM_SummaryPaintWithoutLookups);

} // namespace
} // namespace vobrik
