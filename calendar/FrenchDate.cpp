#include "calendar/FrenchDate.h"

#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <cstdio>
#include <cstring>

namespace vobrik {

namespace {

// Indexed by tm_wday. Monday keeps the blank it has always been stored with,
// so Monday dates show two blanks before the day.
const char* const WeekdayNames[7] = {"Dimanche", "Lundi ",   "Mardi", "Mercredi",
                                     "Jeudi",    "Vendredi", "Samedi"};

// Indexed by tm_mon; in the Windows-1252 the dates are drawn and kept in.
const char* MonthName(int month) {
    static const std::string names[12] = {"janvier",   Windows1252FromUtf8("février"),
                                          "mars",      "avril",
                                          "mai",       "juin",
                                          "juillet",   Windows1252FromUtf8("août"),
                                          "septembre", "octobre",
                                          "novembre",  Windows1252FromUtf8("décembre")};
    return names[month].c_str();
}

} // namespace

char* FormatFrenchDate(int32_t when, char* out) {
    const std::tm local = ToLocal(when);
    std::snprintf(out, FrenchDateSize, "%s %d ", WeekdayNames[local.tm_wday], local.tm_mday);
    const size_t used = std::strlen(out);
    std::snprintf(out + used, FrenchDateSize - used, "%s", MonthName(local.tm_mon));

    // The year goes through a scratch buffer: out cannot be both the source and
    // the target of one format.
    char scratch[FrenchDateSize];
    std::snprintf(scratch, sizeof scratch, "%s %d", out, local.tm_year + 1900);
    std::memcpy(out, scratch, std::strlen(scratch) + 1);
    return out;
}

std::string FrenchDayInText(int32_t when) {
    const std::tm local = ToLocal(when);
    std::string weekday = WeekdayNames[local.tm_wday];
    while (!weekday.empty() && weekday.back() == ' ')
        weekday.pop_back();
    weekday[0] = static_cast<char>(weekday[0] - 'A' + 'a');
    return weekday + " " + std::to_string(local.tm_mday) + " " + MonthName(local.tm_mon) + " " +
           std::to_string(local.tm_year + 1900);
}

std::string ClockTime(int32_t when) {
    const std::tm local = ToLocal(when);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
    return text;
}

} // namespace vobrik
