#pragma once

// What the calendar's parts share: the text read into calendars, the clocks
// times are read on, and the rules the program can follow. Reasons and notes
// are UTF-8; a reminder's message is Windows-1252.

#include "calendar/Libical.h"
#include "core/Alarm.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vobrik {

struct TCalendarText {
    // Set when the whole text is refused; then there is nothing else.
    std::string Error;
    std::vector<TComponent> Calendars;
    // For each event or task of the calendars, in their order: the number of
    // the first line that could not be read in it, else 0.
    std::vector<int> BadLines;
};

// Any bytes: UTF-8 with or without its byte-order mark, UTF-16, or text that
// is not UTF-8 read as Windows-1252.
TCalendarText ReadCalendarText(std::string_view bytes);

// The zone a TZID or X-WR-TIMEZONE names: a tz database name, or a Windows
// name as Exchange writes them. Null when unknown.
icaltimezone* ZoneNamed(const char* name);

// A clock reading (the date and time fields of t) on a zone's clock, or on the
// local one when zone is null, as RFC 5545 reads it: a reading that falls in
// the gap of a change to summer time moves forward by the gap, one that
// happens twice is the first.
std::optional<int32_t> ReadOnClock(const icaltimetype& t, icaltimezone* zone);

// The clock reading of `when` on the local clock, with no zone of its own.
icaltimetype LocalReading(int32_t when);

// A clock reading's fields counted as seconds from 1970-01-01 00:00 on its
// own clock.
int64_t WallSeconds(const icaltimetype& t);

// The kind and interval the program keeps for a rule, or why it cannot follow it.
struct TRuleFit {
    TAlarmType Type = atOnce;
    int32_t EveryDays = 0;
    std::string Reason; // empty when it can
};
TRuleFit FitRule(const icalrecurrencetype& rule, const icaltimetype& start);

// "30/06/2027 08:00"
std::string ShownDate(int32_t when);
std::string ShownDay(int32_t when);
std::string ShownHour(int32_t when);

} // namespace vobrik
