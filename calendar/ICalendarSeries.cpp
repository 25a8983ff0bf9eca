// The occurrences of a repeated event, as other calendar programs give them,
// and where the program's own steps part from them.

#include "calendar/ICalendarSeries.h"

#include "core/CheckPass.h"

#include <algorithm>

namespace vobrik {

namespace {

// Occurrences read past the start before giving up.
constexpr int MaxSteps = 2000;
// Rings compared: a year's worth, and at least a few for yearly series.
constexpr int32_t CompareSpan = 366 * 86400;
// A month-end or 29 February series parts from the calendar only in a month
// or a year without that day, which may be the next leap year's: four years
// and a month.
constexpr int32_t MonthEndSpan = 4 * 366 * 86400 + 31 * 86400;
constexpr int MinCompared = 5;

int64_t DayNumber(icaltimetype t) {
    t.hour = t.minute = t.second = 0;
    return WallSeconds(t) / 86400;
}

} // namespace

std::optional<int32_t> TReading::When() const {
    icaltimetype t = Fields;
    if (t.is_date) {
        t.is_date = 0;
        t.hour = AllDayHour;
        t.minute = t.second = 0;
    }
    return ReadOnClock(t, Zone);
}

icaltimetype TReading::FieldsAt(int32_t when) const {
    if (Zone != nullptr && !Fields.is_date) {
        icaltimetype t = icaltime_from_timet_with_zone(when, 0, Zone);
        t.zone = nullptr;
        return t;
    }
    return LocalReading(when);
}

TSeries::TSeries(const icalrecurrencetype& rule, const TReading& start,
                 std::vector<int32_t> excluded, int32_t from)
    : Start(start), Excluded(std::move(excluded)) {
    // Started near `from` by a whole number of periods, so that a series
    // begun years ago keeps its phase without being read from its start.
    icaltimetype first = start.Fields;
    const icaltimetype near = start.FieldsAt(from);
    const int64_t days = DayNumber(near) - DayNumber(first);
    const int interval = std::max<int>(rule.interval, 1);
    int64_t periods = 0;
    switch (rule.freq) {
    case ICAL_DAILY_RECURRENCE:
    case ICAL_WEEKLY_RECURRENCE: {
        const int period = interval * (rule.freq == ICAL_WEEKLY_RECURRENCE ? 7 : 1);
        periods = days / period;
        icaltime_adjust(&first, static_cast<int>(periods * period), 0, 0, 0);
        break;
    }
    case ICAL_HOURLY_RECURRENCE:
        periods = (days * 24 + near.hour - first.hour) / interval;
        icaltime_adjust(&first, 0, static_cast<int>(periods * interval), 0, 0);
        break;
    case ICAL_MONTHLY_RECURRENCE:
    case ICAL_YEARLY_RECURRENCE:
        // In fours, which keep a 29 February.
        periods = (near.year - first.year - 1) / 4 * 4;
        first.year += static_cast<int>(periods);
        break;
    default:
        break;
    }
    if (periods <= 0)
        first = start.Fields;
    Iterator.reset(icalrecur_iterator_new(rule, first));
}

std::optional<int32_t> TSeries::Next() {
    while (Iterator && Steps++ < MaxSteps) {
        icaltimetype next = icalrecur_iterator_next(Iterator.get());
        if (icaltime_is_null_time(next))
            return std::nullopt;
        TReading reading = Start;
        reading.Fields = next;
        const std::optional<int32_t> when = reading.When();
        if (!when)
            return std::nullopt;
        if (std::find(Excluded.begin(), Excluded.end(), *when) == Excluded.end())
            return when;
    }
    return std::nullopt;
}

std::optional<int32_t> TSeries::NextAfter(int32_t now) {
    for (std::optional<int32_t> when = Next(); when; when = Next())
        if (*when > now)
            return when;
    return std::nullopt;
}

static int32_t SpanCompared(const TAlarm& alarm) {
    return alarm.Type == atMonthly || alarm.Type == atYearly ? MonthEndSpan : CompareSpan;
}

std::string PartingNote(const TAlarm& alarm, TSeries& series) {
    TAlarm ring = alarm;
    for (int count = 1;; ++count) {
        MoveToNextRing(ring, ring.When + 1);
        const std::optional<int32_t> due = series.Next();
        if (!due)
            return "";
        const int32_t ours = ring.When;
        if (ours != *due && ShownDay(ours) == ShownDay(*due))
            return "le " + ShownDay(ours) + ", Vobrik sonnera à " + ShownHour(ours) +
                   ", le calendrier indique " + ShownHour(*due);
        if (ours < *due)
            return "le " + ShownDay(ours) + ", Vobrik sonnera à " + ShownHour(ours) +
                   ", le calendrier n'indique rien";
        if (*due < ours)
            return "le " + ShownDay(*due) + ", le calendrier indique " + ShownHour(*due) +
                   ", Vobrik ne sonnera pas";
        if (count >= MinCompared && int64_t{*due} - alarm.When > SpanCompared(alarm))
            return "";
    }
}

} // namespace vobrik
