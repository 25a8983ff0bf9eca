#pragma once

// The occurrences of a repeated event, read as other calendar programs read
// them, for the import to place its reminder and see where the program's own
// steps will part from them.

#include "calendar/ICalendarParts.h"

namespace vobrik {

// All-day events ring at this hour on the local clock.
constexpr int AllDayHour = 9;

// A time as the file writes it: its clock reading, and the zone it is read in
// (null for the local clock: floating times and whole days).
struct TReading {
    icaltimetype Fields{}; // no zone of its own
    icaltimezone* Zone = nullptr;

    std::optional<int32_t> When() const;
    // The reading of `when` on the same clock.
    icaltimetype FieldsAt(int32_t when) const;
};

class TSeries {
  public:
    // The occurrences of the rule from start, those at the excluded times
    // left out, read from a little before `from`.
    TSeries(const icalrecurrencetype& rule, const TReading& start, std::vector<int32_t> excluded,
            int32_t from);

    // The next occurrence, in order; none past the end or the range.
    std::optional<int32_t> Next();
    std::optional<int32_t> NextAfter(int32_t now);

  private:
    TReading Start;
    std::vector<int32_t> Excluded;
    TIterator Iterator;
    int Steps = 0;
};

// Where the reminder, ringing at the series' occurrence alarm.When and then
// stepped as the program steps it, first parts from the series' next
// occurrences within about a year, four for a monthly or yearly one, which
// may part only in the next leap year ("le 14/03/2027, Vobrik sonnera à 15:00, le
// calendrier indique 14:00"), or empty. Reads the series on.
std::string PartingNote(const TAlarm& alarm, TSeries& series);

} // namespace vobrik
