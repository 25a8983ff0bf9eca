#include "cli/CommandDates.h"

#include "calendar/FrenchDate.h"
#include "core/LocalTime.h"
#include "dialogs/EditAlarm.h"
#include "platform/Text1252.h"

#include <climits>
#include <cstring>
#include <ctime>

namespace vobrik {

namespace {

const char* const MonthNames[] = {"janvier",   "février", "mars",     "avril",
                                  "mai",       "juin",    "juillet",  "août",
                                  "septembre", "octobre", "novembre", ("décembre")};

int DaysIn(int month, int year) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Reads a number of 1 to `width` digits at `at`, followed by one of `ends`,
// or by the end of the text when `ends` is null.
bool Number(const std::string& text, size_t& at, size_t width, const char* ends, int& value) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && at - start < width && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    if (at == start)
        return false;
    if (ends == nullptr)
        return at == text.size();
    if (at >= text.size() || std::strchr(ends, text[at]) == nullptr)
        return false;
    ++at;
    return true;
}

bool Clock(const std::string& text, size_t at, TTypedDate& date) {
    return Number(text, at, 2, ":", date.Hour) && Number(text, at, 2, nullptr, date.Minute);
}

std::string Refused(const std::string& text) {
    return "date illisible « " + text +
           " » : attendu « AAAA-MM-JJ HH:MM », « JJ/MM/AAAA HH:MM », « HH:MM » ou « demain HH:MM »";
}

// The field that is out of its range, named, or nothing.
std::string CheckFields(const TTypedDate& date) {
    if (date.Form == TTypedDate::Full) {
        if (date.Month < 1 || date.Month > 12)
            return "mois " + std::to_string(date.Month) + " : attendu de 1 à 12";
        if (date.Day < 1 || date.Day > DaysIn(date.Month, date.Year))
            return "jour " + std::to_string(date.Day) + " : " + MonthNames[date.Month - 1] + " " +
                   std::to_string(date.Year) + " a " +
                   std::to_string(DaysIn(date.Month, date.Year)) + " jours";
    }
    if (date.Hour > 23)
        return "heure " + std::to_string(date.Hour) + " : attendue de 0 à 23";
    if (date.Minute > 59)
        return "minute " + std::to_string(date.Minute) + " : attendue de 0 à 59";
    return {};
}

std::tm Fields(int year, int month, int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return local;
}

bool Shows(int64_t when, const std::tm& wanted) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_year == wanted.tm_year && local.tm_mon == wanted.tm_mon &&
           local.tm_mday == wanted.tm_mday && local.tm_hour == wanted.tm_hour &&
           local.tm_min == wanted.tm_min;
}

int MinuteOfDay(int64_t when) {
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_hour * 60 + local.tm_min;
}

std::string ClockText(int64_t when) {
    return ClockTime(static_cast<int32_t>(when));
}

// The wall-clock time on the local clock: the first of two when the clocks go
// back, a refusal naming the nearest times when they skip it.
TPlacedDate OnLocalClock(const std::tm& wanted) {
    TPlacedDate placed;
    std::tm guess = wanted;
    const int64_t near = static_cast<int64_t>(std::mktime(&guess));
    int64_t first = INT64_MAX, last = INT64_MIN;
    for (int64_t t = near - 3 * 3600; t <= near + 3 * 3600; t += 60) // zones shift by whole minutes
        if (Shows(t, wanted)) {
            first = t < first ? t : first;
            last = t > last ? t : last;
        }
    if (first != INT64_MAX && (first < INT32_MIN || first > INT32_MAX))
        return placed; // beyond what a record holds
    if (first == INT64_MAX) {
        // The clocks skip this time: the last minute before the jump and the
        // first after it.
        int64_t before = near - 3 * 3600;
        while (before < near + 3 * 3600 &&
               MinuteOfDay(before + 60) == (MinuteOfDay(before) + 1) % 1440)
            before += 60;
        placed.Why = std::string(wanted.tm_hour < 10 ? "0" : "") + std::to_string(wanted.tm_hour) +
                     ":" + (wanted.tm_min < 10 ? "0" : "") + std::to_string(wanted.tm_min) +
                     " n'existe pas ce jour-là (changement d'heure) : " + ClockText(before) +
                     " ou " + ClockText(before + 60);
        return placed;
    }
    placed.Placed = true;
    placed.When = static_cast<int32_t>(first);
    if (last != first)
        placed.Note = ClockText(first) +
                      " arrive deux fois ce jour-là (changement d'heure) : la première est retenue";
    return placed;
}

} // namespace

std::string ReadAtDate(const std::string& text, TTypedDate& date) {
    size_t at = 0;
    date = TTypedDate();
    if (text.compare(0, 7, "demain ") == 0) {
        date.Form = TTypedDate::Tomorrow;
        if (!Clock(text, 7, date))
            return Refused(text);
    } else if (text.find('/') != std::string::npos) {
        date.Form = TTypedDate::Full;
        size_t yearAt = 0;
        if (!(Number(text, at, 2, "/", date.Day) && Number(text, at, 2, "/", date.Month) &&
              (yearAt = at, Number(text, at, 4, " ", date.Year)) && Clock(text, at, date)))
            return Refused(text);
        // A year of two digits is read as at(1) and date(1) read it: 69 to 99
        // are the 1900s, 00 to 68 the 2000s.
        if (text.find(' ', yearAt) - yearAt == 2)
            date.Year += date.Year >= 69 ? 1900 : 2000;
    } else if (text.find('-') != std::string::npos) {
        date.Form = TTypedDate::Full;
        if (!(Number(text, at, 4, "-", date.Year) && Number(text, at, 2, "-", date.Month) &&
              Number(text, at, 2, " T", date.Day) && Clock(text, at, date)))
            return Refused(text);
    } else {
        date.Form = TTypedDate::TimeOnly;
        if (!Clock(text, 0, date))
            return Refused(text);
    }
    return CheckFields(date);
}

std::string ReadInDuration(const std::string& text, TTypedDate& date) {
    date = TTypedDate();
    date.Form = TTypedDate::In;
    const char units[] = {'j', 'h', 'm'};
    const int64_t minutes[] = {24 * 60, 60, 1};
    size_t at = 0, unit = 0;
    while (at < text.size()) {
        int64_t value = 0;
        const size_t start = at;
        while (at < text.size() && at - start < 6 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + (text[at++] - '0');
        while (unit < 3 && (at >= text.size() || text[at] != units[unit]))
            ++unit;
        if (at == start || unit == 3)
            return "durée illisible « " + text +
                   " » : attendu par exemple « 90m », « 2h » ou « 1j2h30m »";
        date.InMinutes += value * minutes[unit++];
        ++at;
    }
    return date.InMinutes > 0 ? std::string() : "--in attend une durée";
}

TPlacedDate PlaceDate(const TTypedDate& date, int32_t now) {
    TPlacedDate placed;
    const int32_t minute = now - (now % 60 + 60) % 60;
    if (date.Form == TTypedDate::In) {
        const int64_t when = minute + date.InMinutes * 60;
        placed.Placed = when <= INT32_MAX;
        placed.When = placed.Placed ? static_cast<int32_t>(when) : 0;
        if (!placed.Placed)
            placed.Why = "trop loin";
        return placed;
    }
    const std::tm today = ToLocal(now);
    std::tm wanted =
        date.Form == TTypedDate::Full
            ? Fields(date.Year, date.Month, date.Day, date.Hour, date.Minute)
            : Fields(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, date.Hour, date.Minute);
    if (date.Form == TTypedDate::Tomorrow ||
        (date.Form == TTypedDate::TimeOnly &&
         (date.Hour * 60 + date.Minute <= today.tm_hour * 60 + today.tm_min))) {
        std::tm next = wanted;
        NextDay(next); // normalises the date of the next day
        wanted = Fields(next.tm_year + 1900, next.tm_mon + 1, next.tm_mday, date.Hour, date.Minute);
    }
    placed = OnLocalClock(wanted);
    if (!placed.Placed && placed.Why.empty()) {
        const std::string text = OutOfRangeText;
        placed.Why = text.substr(0, text.find('\n'));
    }
    if (placed.Placed && placed.When <= now) {
        placed.Placed = false;
        placed.Why = "cette date est passée";
    }
    return placed;
}

} // namespace vobrik
