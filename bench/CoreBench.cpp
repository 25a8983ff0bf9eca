// Costs of the reminder core on a full table: load, save (with its sync),
// sort, a full pass over due records, and the tick that finds nothing due.

#include "core/CheckPass.h"

#include "Support.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace vobrik;
using namespace vobrik::test;

struct Bench : TCoreRig {
    explicit Bench(int32_t firstWhen, int32_t step = -60) {
        Clock.Time = Local(2026, 12, 6, 12, 0);
        Fill(firstWhen, step);
    }
    void Fill(int32_t firstWhen, int32_t step) {
        while (Table.AlarmCount > 0)
            Table.RemoveByMovingLast(Table.AlarmCount - 1);
        // With a negative step, reverse order: the sort's worst case.
        for (int i = 0; i < TAlarmTable::MaxAlarms; ++i)
            Add(firstWhen + i * step, ("Rendez-vous num\xE9ro " + std::to_string(i)).c_str(),
                static_cast<uint8_t>(1 + i % 4), 1 + i % 10);
    }
};

void BM_LoadAlarms100(benchmark::State& state) {
    Bench b(Local(2027, 1, 1));
    b.Table.SaveAlarms();
    for (auto _ : state) {
        b.Table.NextId = 1;
        benchmark::DoNotOptimize(b.Table.LoadAlarms());
    }
}
BENCHMARK(BM_LoadAlarms100);

void BM_SaveAlarms100(benchmark::State& state) {
    Bench b(Local(2027, 1, 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(b.Table.SaveAlarms());
}
BENCHMARK(BM_SaveAlarms100)->Unit(benchmark::kMicrosecond);

void BM_RefreshAlarmList100Reversed(benchmark::State& state) {
    Bench b(Local(2027, 1, 1));
    for (auto _ : state) {
        state.PauseTiming();
        b.Fill(Local(2027, 1, 1), -60);
        state.ResumeTiming();
        b.Table.RefreshAlarmList();
    }
}
BENCHMARK(BM_RefreshAlarmList100Reversed);

void BM_CheckPass100Due(benchmark::State& state) {
    Bench b(0);
    for (auto _ : state) {
        state.PauseTiming();
        b.Fill(b.Clock.Time - 3600, -60);
        b.Ringer.Script.assign(TAlarmTable::MaxAlarms, {RingAcknowledge, nullptr, 0, false});
        b.Sound.Played.clear();
        state.ResumeTiming();
        b.Checker.CheckAlarms();
    }
}
BENCHMARK(BM_CheckPass100Due)->Unit(benchmark::kMicrosecond);

void BM_TickNothingDue(benchmark::State& state) {
    Bench b(Local(2027, 1, 1), 60);
    b.Table.RefreshAlarmList();
    for (auto _ : state) {
        b.Checker.OnCheckTimer(false);
        b.Timer.Calls.clear();
    }
}
BENCHMARK(BM_TickNothingDue);

} // namespace

BENCHMARK_MAIN();
