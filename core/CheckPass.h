#pragma once

#include "core/AlarmCheckXfer.h"
#include "core/AlarmTable.h"
#include "core/Services.h"

namespace vobrik {

constexpr unsigned CheckTimerId = 1;
constexpr unsigned CheckPeriodMs = 30000;

// The periodic check: rings due reminders, creates the postponements asked
// for, and moves every due record to its next occurrence or out of the table.
class TAlarmChecker {
  public:
    TAlarmChecker(TAlarmTable& table, ITimer& timer, ISound& sound, IRinger& ringer);

    // The id of the running check timer, 0 when none.
    unsigned TimerId = 0;

    // The timer's tick. No pass runs while the day summary is open.
    void OnCheckTimer(bool summaryOpen);
    void CheckAlarms();

  private:
    int32_t PostponedWhen(int result, int32_t now) const;
    void Reschedule(TAlarm& alarm);

    TAlarmTable& Table;
    ITimer& Timer;
    ISound& Sound;
    IRinger& Ringer;
    TAlarmCheckXfer Xfer{};
};

// Where a record that has rung at now goes next: a month or a year on, or its
// interval of days (half a day for 0) past now, on the local clock.
void MoveToNextRing(TAlarm& alarm, int32_t now);

// Plays the ring sound from the search path to its end, or beeps when it cannot.
void PlayRingSound(ISound& sound, const char* name = "DRING.WAV");

} // namespace vobrik
