#pragma once

// Reminders in and out of other calendar programs, as iCalendar text (RFC 5545)
// read and written by libical. The reminders keep their Windows-1252 text; the
// calendar text is UTF-8.

#include "core/Alarm.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vobrik {

// The tz database name of the zone the local clock reads ("Europe/Paris"): TZ
// when it is set, else the target of /etc/localtime. Empty when neither names
// one.
std::string LocalZoneName();

// "<16 hex digits>@vobrik", from the due time, kind, interval and message, so
// that a reminder keeps its UID from one export to the next while unchanged.
std::string AlarmUid(const TAlarm& alarm);

// One VCALENDAR with a VEVENT per reminder. Due times are written on the clock
// of the named zone, whose VTIMEZONE comes with them, or in UTC when libical
// does not know the zone. now stamps the events (DTSTAMP).
std::string ExportICalendar(const std::vector<TAlarm>& alarms, const std::string& zone,
                            int32_t now);

// An event or task that was left out, and why. Both texts are Windows-1252.
struct TSkippedEvent {
    std::string Label;
    std::string Reason;
};

struct TICalendarImport {
    // Set, in Windows-1252, when the whole text was refused; then nothing else is.
    std::string Error;
    // In the order of the file, Id 0, each due after now.
    std::vector<TAlarm> Alarms;
    std::vector<TSkippedEvent> Skipped;
};

// Reads the VEVENTs and VTODOs of iCalendar text into reminders due after now.
// A damaged text (binary, cut short, a block never closed, no VCALENDAR) is
// refused whole.
TICalendarImport ImportICalendar(std::string_view text, int32_t now);

} // namespace vobrik
