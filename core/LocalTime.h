#pragma once

#include <cstdint>
#include <ctime>

namespace vobrik {

// Broken-down local time of a 32-bit time, honouring TZ.
std::tm ToLocal(int32_t when);

// mktime on the broken-down time, which it normalises in place. A result that
// a signed 32-bit time cannot hold is clamped to the nearest end of that range,
// so a record stepped past 2038 rests there instead of wrapping around.
int32_t MakeWhen(std::tm& local);

// MakeWhen for calendar steps: the fields are read on the local clock, with the
// offset that applies on the new date, so a step across a daylight-saving
// change keeps the hour the user chose.
int32_t MakeWhenOnLocalClock(std::tm& local);

// The same clock time one calendar day later, read on that day's own clock so
// that a daylight-saving change in between cannot push it onto the day after.
// The fields are normalised in place.
int32_t NextDay(std::tm& local);

// The system clock, held at the end of the signed 32-bit range past 2038
// rather than wrapping round to 1901.
int32_t CurrentTime();

inline int DayOfMonth(int32_t when) {
    return ToLocal(when).tm_mday;
}

} // namespace vobrik
