// One whole summary paint on the toolkit's drawing surface, into a memory
// bitmap: the real text layout and rendering that the recording surface of
// the other benchmarks leaves out. It needs an X display, for instance:
//   xvfb-run -a build/vobrik_wx_bench

#include "summary/ResWin.h"
#include "summary/SummaryLines.h"

#include "Support.h"
#include "platform/wx/Application.h"
#include "platform/wx/WxDC.h"

#include <benchmark/benchmark.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>

#include <cstdio>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

void BM_SummaryPaintOnBitmap(benchmark::State& state) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    TAlarmTable table{list, messages, clock, SystemFileOps(), dir.Path("ALARMS.VBK")};
    const int32_t now = Local(2026, 12, 6, 12, 0);
    // Twenty reminders over today and tomorrow, as a busy table would hold.
    for (int i = 0; i < 20; ++i) {
        TAlarm alarm;
        alarm.When = now - 6 * 3600 + i * 3 * 3600 / 2;
        SetAlarmMessage(alarm, ("Rendez-vous num\xE9ro " + std::to_string(i)).c_str());
        table.Append(alarm);
    }

    FakeSummaryOwner owner;
    FakeResWinShell shell;
    TResWin win(&owner);
    win.Attr = {100, 100, 400, 200};
    TSummaryLists lists = BuildSummaryLines(table, now);
    win.TodayLines = std::move(lists.Today);
    win.TomorrowLines = std::move(lists.Tomorrow);
    win.SetupWindow(shell);
    // As grown at the first paint, so that every paint is a whole one.
    shell.OuterHeight = 500;
    const TRect client = shell.GetClientRect();

    wxBitmap bitmap(client.Width(), client.Height(), 24);
    wxMemoryDC memory(bitmap);
    for (auto _ : state) {
        TWxDC dc(memory);
        win.Paint(dc, now);
    }
    if (shell.Calls > 1)
        state.SkipWithError("a name-day lookup failed or the window grew");
    state.SetLabel(std::to_string(CountLines(win.TodayLines.get())) + " today, " +
                   std::to_string(CountLines(win.TomorrowLines.get())) + " tomorrow");
}
BENCHMARK(BM_SummaryPaintOnBitmap);

} // namespace
} // namespace vobrik

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!vobrik::StartToolkit()) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vobrik::StopToolkit();
    return 0;
}
