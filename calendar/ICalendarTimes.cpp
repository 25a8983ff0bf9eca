// Clock readings of calendar files turned into times, as RFC 5545 reads them.

#include "calendar/ICalendarParts.h"

#include "core/LocalTime.h"

#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <ctime>
#include <limits>

namespace vobrik {

namespace {

// Exchange and Teams name zones the Windows way ("Romance Standard Time");
// ICU carries the CLDR table from those names to the tz database's.
icaltimezone* WindowsZone(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    UChar windows[128];
    int32_t length = 0;
    u_strFromUTF8(windows, 128, &length, name, -1, &status);
    UChar id[128];
    const int32_t idLength =
        U_SUCCESS(status)
            ? ucal_getTimeZoneIDForWindowsID(windows, length, nullptr, id, 128, &status)
            : 0;
    char tz[256];
    if (U_FAILURE(status) || idLength <= 0)
        return nullptr;
    u_strToUTF8(tz, sizeof tz, nullptr, id, idLength, &status);
    return U_SUCCESS(status) ? icaltimezone_get_builtin_timezone(tz) : nullptr;
}

// How far the clock is ahead of UTC at the time u.
int64_t OffsetAt(int64_t u, icaltimezone* zone) {
    if (zone != nullptr)
        return WallSeconds(icaltime_from_timet_with_zone(static_cast<time_t>(u), 0, zone)) - u;
    const time_t t = static_cast<time_t>(u);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

} // namespace

int64_t WallSeconds(const icaltimetype& t) {
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    return timegm(&fields);
}

icaltimetype LocalReading(int32_t when) {
    const std::tm local = ToLocal(when);
    icaltimetype t = icaltime_null_time();
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    return t;
}

icaltimezone* ZoneNamed(const char* name) {
    if (name == nullptr || *name == '\0')
        return nullptr;
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone(name))
        return zone;
    return WindowsZone(name);
}

std::optional<int32_t> ReadOnClock(const icaltimetype& t, icaltimezone* zone) {
    if (t.year < 1900 || t.year > 2100)
        return std::nullopt;
    const int64_t wall = WallSeconds(t);
    const auto fits = [wall, zone](int64_t u) { return u + OffsetAt(u, zone) == wall; };
    // The offsets a day either side: the one before a change and the one after.
    const int64_t before = wall - OffsetAt(wall - 86400, zone);
    const int64_t after = wall - OffsetAt(wall + 86400, zone);
    int64_t when = before; // in a gap, read with the offset before it
    if (fits(before) && fits(after))
        when = std::min(before, after);
    else if (fits(after))
        when = after;
    if (when < std::numeric_limits<int32_t>::min() || when > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(when);
}

namespace {

std::string Shown(int32_t when, const char* format) {
    const std::tm local = ToLocal(when);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

} // namespace

std::string ShownDate(int32_t when) {
    return Shown(when, "%d/%m/%Y %H:%M");
}

std::string ShownDay(int32_t when) {
    return Shown(when, "%d/%m/%Y");
}

std::string ShownHour(int32_t when) {
    return Shown(when, "%H:%M");
}

} // namespace vobrik
