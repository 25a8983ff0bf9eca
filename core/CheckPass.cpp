#include "core/CheckPass.h"

#include "core/LocalTime.h"
#include "platform/SearchPath.h"
#include "platform/Text1252.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <unistd.h>
#include <vector>

namespace vobrik {

namespace {

constexpr int32_t HalfDay = 43200;
constexpr int32_t EndOfTime = std::numeric_limits<int32_t>::max();

constexpr const char* PostponementLostText =
    "Vobrik garde déjà 100 alarmes : le rappel demandé n'a pas pu être créé.\nSupprimez une alarme "
    "puis créez-le à la main.";

// The amount typed in the ring dialog, read as atol reads it, never past the
// end of the field.
long DelayAmount(const TAlarmCheckXfer& xfer) {
    char text[sizeof xfer.Delay + 1] = {};
    std::memcpy(text, xfer.Delay, sizeof xfer.Delay);
    return std::atol(text);
}

} // namespace

void PlayRingSound(ISound& sound, const char* name) {
    char path[300];
    if (!SearchPath(name, path, sizeof path))
        path[0] = '\0';
    if (path[0] != '\0' && ::access(path, F_OK) == 0 && sound.PlayFile(path))
        return;
    sound.Beep();
}

TAlarmChecker::TAlarmChecker(TAlarmTable& table, ITimer& timer, ISound& sound, IRinger& ringer)
    : Table(table), Timer(timer), Sound(sound), Ringer(ringer) {}

void TAlarmChecker::OnCheckTimer(bool summaryOpen) {
    if (TimerId != 0)
        Timer.KillTimer(TimerId);
    if (Table.AlarmCount > 0 && !summaryOpen && Table.Clock().Now() > Table.Alarms[0]->When)
        CheckAlarms();
    TimerId = Timer.SetTimer(CheckTimerId, CheckPeriodMs);
}

void TAlarmChecker::CheckAlarms() {
    IClock& clock = Table.Clock();
    bool forAll = false;
    bool lostPostponement = false;
    int result = RingAcknowledge;

    for (int i = 0; i < Table.AlarmCount;) {
        TAlarm& alarm = *Table.Alarms[i];
        const int32_t now = clock.Now();
        if (!(now > alarm.When)) {
            ++i;
            continue;
        }
        const TAlarm due = alarm;
        std::vector<TAlarm> made; // what the answer makes of it

        // A daily reminder missed on an earlier day (the program was not
        // running) is moved on silently rather than rung late.
        bool show = !(alarm.Type == atEveryDays && alarm.EveryDays == 1 &&
                      DayOfMonth(now) != DayOfMonth(alarm.When));

        std::memset(Xfer.Message, 0, sizeof Xfer.Message);
        std::memcpy(Xfer.Message, alarm.Message, strnlen(alarm.Message, AlarmMessageSize - 1));
        std::memset(Xfer.Delay, 0, sizeof Xfer.Delay);
        Xfer.Delay[0] = '1';

        if (forAll) {
            show = false;
        } else {
            Xfer.DelayDays = 0;
            Xfer.DelayHours = 1;
            Xfer.DelayMinutes = 0;
            Xfer.ForAll = 0;
            result = RingAcknowledge;
        }

        if (show) {
            PlayRingSound(Sound);
            result = Ringer.RingAlarm(Xfer, alarm.When);
            if (Xfer.ForAll != 0)
                forAll = true;
        }

        if (result == RingRemindTomorrow || result == RingRemindIn) {
            const int32_t postponed = PostponedWhen(result, clock.Now());
            if (!Table.IsFull()) {
                TAlarm postponement;
                std::memcpy(postponement.Message, alarm.Message, AlarmMessageSize);
                postponement.When = postponed;
                postponement.Type = atOnce;
                postponement.EveryDays = 0;
                made.push_back(*Table.Append(postponement));
            } else if (alarm.Type == atOnce) {
                // No free slot: the one-time record itself becomes the
                // postponement, so the reminder is neither lost nor duplicated.
                alarm.When = postponed;
                alarm.EveryDays = 0;
                Table.NoteAnswer(due, {alarm});
                continue;
            } else {
                lostPostponement = true;
            }
        }

        if (alarm.Type == atOnce) {
            Table.NoteAnswer(due, made);
            Table.RemoveByMovingLast(i);
            continue; // the record moved in is visited in its turn
        }
        Reschedule(alarm);
        made.push_back(alarm);
        Table.NoteAnswer(due, made);
        ++i;
    }

    Table.SaveAlarms();
    Table.RefreshAlarmList();
    if (lostPostponement)
        Table.Messages().MessageBox(Windows1252FromUtf8(PostponementLostText).c_str(), "Vobrik",
                                    MB_OK);
}

int32_t TAlarmChecker::PostponedWhen(int result, int32_t now) const {
    std::tm local = ToLocal(now);
    if (result == RingRemindTomorrow) {
        local.tm_hour = 0;
        local.tm_min = 1;
        return NextDay(local);
    }
    // The field holds at most three characters, so the amount fits an int.
    // Hours and minutes count real time, with the offset of now; whole days keep
    // the hour on the local clock.
    const int amount = static_cast<int>(DelayAmount(Xfer));
    if (Xfer.DelayHours == 1)
        local.tm_hour += amount;
    if (Xfer.DelayMinutes == 1)
        local.tm_min += amount;
    if (Xfer.DelayDays == 1) {
        local.tm_mday += amount;
        return MakeWhenOnLocalClock(local);
    }
    return MakeWhen(local);
}

void TAlarmChecker::Reschedule(TAlarm& alarm) {
    MoveToNextRing(alarm, Table.Clock().Now());
}

void MoveToNextRing(TAlarm& alarm, int32_t now) {
    std::tm local = ToLocal(alarm.When);

    switch (alarm.Type) {
    case atMonthly:
        while (now > alarm.When) {
            local.tm_mon += 1;
            alarm.When = MakeWhenOnLocalClock(local);
        }
        break;
    case atYearly:
        local.tm_year += 1;
        alarm.When = MakeWhenOnLocalClock(local);
        break;
    case atEveryDays: {
        // A negative interval would never reach the future: it steps like 0.
        const int32_t every = alarm.EveryDays > 0 ? alarm.EveryDays : 0;
        while (now > alarm.When) {
            if (every == 0) {
                alarm.When = alarm.When > EndOfTime - HalfDay ? EndOfTime : alarm.When + HalfDay;
                continue;
            }
            if (local.tm_mday > std::numeric_limits<int>::max() - every) {
                alarm.When = EndOfTime;
                break;
            }
            local.tm_mday += every;
            alarm.When = MakeWhenOnLocalClock(local);
        }
        break;
    }
    default:
        break; // an unknown type stays due and is seen again at every pass
    }
}

} // namespace vobrik
