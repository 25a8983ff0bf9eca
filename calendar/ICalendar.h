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
// when it is set, else the target of /etc/localtime, else /etc/timezone.
// Empty, or a name libical does not know, when the system does not name it.
std::string LocalZoneName();

// "<16 hex digits>@vobrik", from the due time, kind, interval and message, so
// that a reminder keeps its UID from one export to the next while unchanged.
std::string AlarmUid(const TAlarm& alarm);

// One VCALENDAR with a VEVENT per reminder. Due times are written on the clock
// of the named zone, whose VTIMEZONE comes with them, or as floating local
// times with a note when libical does not know the zone; reminders every half
// day step exact hours and are written in UTC. now stamps the events (DTSTAMP).
std::string ExportICalendar(const std::vector<TAlarm>& alarms, const std::string& zone,
                            int32_t now);

// An event or task that was left out, and why: its message (Windows-1252, as
// a reminder's) and the reason (UTF-8).
struct TSkippedEvent {
    std::string Label;
    std::string Reason;
};

struct TICalendarImport {
    // Set, in UTF-8, when the whole text was refused; then nothing else is.
    std::string Error;
    // In the order of the file, Id 0, each due after now.
    std::vector<TAlarm> Alarms;
    // For each reminder, where its later rings will part from the calendar's
    // (a zone with other summer dates, a date taken out of a series...), else
    // empty.
    std::vector<std::string> Notes;
    // For each reminder every N days, occurrences of the past year on each
    // clock time and phase they fell on: a reminder imported before and
    // stepped by Vobrik since from one of them may have parted from the
    // calendar (a change of time elsewhere), and is still this event.
    std::vector<std::vector<int32_t>> Earlier;
    std::vector<TSkippedEvent> Skipped;
};

// Reads the VEVENTs and VTODOs of iCalendar text into reminders due after now,
// each at the next occurrence the calendar gives. A line that cannot be read
// costs its event; a text whose blocks do not close, or that holds binary
// data or no VCALENDAR, is refused whole.
TICalendarImport ImportICalendar(std::string_view text, int32_t now);

} // namespace vobrik
