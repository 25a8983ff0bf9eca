// The repetitions the program can keep, and, for the others, why not in words
// a user reads.

#include "calendar/ICalendarParts.h"

#include "core/LocalTime.h"

#include <cstdio>

namespace vobrik {

namespace {

// Longest interval the editor can show.
constexpr int MaxEveryDays = 999;

const char* const DayNames[] = {"",         "dimanche", "lundi",    "mardi",
                                "mercredi", "jeudi",    "vendredi", "samedi"};
const char* const MonthNames[] = {"",        "janvier",  "février", "mars", "avril",
                                  "mai",     "juin",     "juillet", "août", "septembre",
                                  "octobre", "novembre", "décembre"};

// " de mai", " de juin et de juillet": the months a yearly rule names.
std::string MonthsOf(const short* list) {
    std::string text;
    for (int i = 0; list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        const int month = list[i] >= 1 && list[i] <= 12 ? list[i] : 0;
        if (i > 0)
            text += list[i + 1] == ICAL_RECURRENCE_ARRAY_MAX ? " et" : ",";
        const char* name = MonthNames[month];
        text += std::string(name[0] == 'a' || name[0] == 'o' ? " d'" : " de ") + name;
    }
    return text;
}

bool IsEmpty(const short* list) {
    return list[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

bool IsOnly(const short* list, int value) {
    return list[0] == value && list[1] == ICAL_RECURRENCE_ARRAY_MAX;
}

// A BY part that only repeats what the start already says, as calendar
// programs write them (weekly on the start's weekday, monthly on its day),
// adds nothing to the rule.
bool ByPartsRestateStart(const icalrecurrencetype& r, const icaltimetype& start) {
    const bool day = IsEmpty(r.by_day) || (r.freq == ICAL_WEEKLY_RECURRENCE &&
                                           IsOnly(r.by_day, icaltime_day_of_week(start)));
    const bool month = IsEmpty(r.by_month) ||
                       (r.freq == ICAL_YEARLY_RECURRENCE && IsOnly(r.by_month, start.month));
    // Yearly on a month day without its month would be every month.
    const bool monthDay =
        IsEmpty(r.by_month_day) || (IsOnly(r.by_month_day, start.day) &&
                                    (r.freq == ICAL_MONTHLY_RECURRENCE ||
                                     (r.freq == ICAL_YEARLY_RECURRENCE && !IsEmpty(r.by_month))));
    return day && monthDay && month && IsEmpty(r.by_second) && IsEmpty(r.by_minute) &&
           IsEmpty(r.by_hour) && IsEmpty(r.by_year_day) && IsEmpty(r.by_week_no) &&
           IsEmpty(r.by_set_pos);
}

std::string Every(int interval, const char* unit, const char* all = "tous") {
    return std::string(all) + " les " + (interval == 1 ? "" : std::to_string(interval) + " ") +
           unit;
}

// "le 2e mardi du mois", "le dernier vendredi du mois", "le lundi et le jeudi"
std::string DaysOf(const short* list) {
    std::string text;
    for (int i = 0; list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
        const int position = icalrecurrencetype_day_position(list[i]);
        const int weekday = static_cast<int>(icalrecurrencetype_day_day_of_week(list[i]));
        if (i > 0)
            text += list[i + 1] == ICAL_RECURRENCE_ARRAY_MAX ? " et " : ", ";
        text += "le ";
        if (position == -1)
            text += "dernier ";
        else if (position == 1)
            text += "1er ";
        else if (position > 1)
            text += std::to_string(position) + "e ";
        else if (position < -1)
            text += std::to_string(-position) + "e avant-dernier ";
        text += DayNames[weekday >= 1 && weekday <= 7 ? weekday : 0];
    }
    return text;
}

std::string Limit(const icalrecurrencetype& r) {
    if (r.count != 0)
        return "série limitée à " + std::to_string(r.count) + " fois";
    char day[16];
    std::snprintf(day, sizeof day, "%02d/%02d/%04d", r.until.day, r.until.month, r.until.year);
    std::optional<int32_t> end;
    if (icaltime_is_utc(r.until) && !r.until.is_date)
        end = ReadOnClock(r.until, icaltimezone_get_utc_timezone());
    return "série limitée au " + (end ? ShownDay(*end) : std::string(day));
}

// Why the rule is not one the program keeps.
std::string WhyNot(const icalrecurrencetype& r, const icaltimetype& start) {
    const std::string repeat = "répétition ";
    if (r.rscale != nullptr)
        return repeat + "selon un autre calendrier que le grégorien";
    if (r.count != 0 || !icaltime_is_null_time(r.until))
        return Limit(r);
    const bool oneWeekday =
        r.freq == ICAL_WEEKLY_RECURRENCE && IsOnly(r.by_day, icaltime_day_of_week(start));
    if (!IsEmpty(r.by_day) && !oneWeekday)
        return repeat + DaysOf(r.by_day) +
               (r.freq == ICAL_MONTHLY_RECURRENCE ? " du mois"
                : r.freq == ICAL_YEARLY_RECURRENCE
                    ? (IsEmpty(r.by_month) ? std::string(" de l'année") : MonthsOf(r.by_month))
                    : " de la semaine");
    if (!ByPartsRestateStart(r, start)) {
        if (!IsEmpty(r.by_month_day))
            return repeat + "à certains jours du mois";
        if (!IsEmpty(r.by_month))
            return repeat + "à certains mois de l'année";
        if (!IsEmpty(r.by_hour) || !IsEmpty(r.by_minute) || !IsEmpty(r.by_second))
            return repeat + "à certaines heures du jour";
        return repeat + "que Vobrik ne sait pas suivre";
    }
    switch (r.freq) {
    case ICAL_MONTHLY_RECURRENCE:
        return repeat + Every(r.interval, "mois");
    case ICAL_YEARLY_RECURRENCE:
        return repeat + Every(r.interval, "ans");
    case ICAL_DAILY_RECURRENCE:
        return repeat + Every(r.interval, "jours") + " (Vobrik va jusqu'à 999)";
    case ICAL_WEEKLY_RECURRENCE:
        return repeat + Every(r.interval, "semaines", "toutes") + " (Vobrik va jusqu'à 999 jours)";
    case ICAL_HOURLY_RECURRENCE:
        return repeat + Every(r.interval, "heures", "toutes");
    case ICAL_MINUTELY_RECURRENCE:
        return repeat + Every(r.interval, "minutes", "toutes");
    case ICAL_SECONDLY_RECURRENCE:
        return repeat + Every(r.interval, "secondes", "toutes");
    default:
        return repeat + "que Vobrik ne sait pas suivre";
    }
}

} // namespace

TRuleFit FitRule(const icalrecurrencetype& r, const icaltimetype& start) {
    TRuleFit fit;
    const int interval = r.interval;
    const bool plain = r.count == 0 && icaltime_is_null_time(r.until) && r.rscale == nullptr &&
                       ByPartsRestateStart(r, start);
    if (plain && r.freq == ICAL_MONTHLY_RECURRENCE && interval == 1)
        fit.Type = atMonthly;
    else if (plain && r.freq == ICAL_YEARLY_RECURRENCE && interval == 1)
        fit.Type = atYearly;
    else if (plain && r.freq == ICAL_DAILY_RECURRENCE && interval >= 1 && interval <= MaxEveryDays)
        fit = {atEveryDays, interval, ""};
    else if (plain && r.freq == ICAL_WEEKLY_RECURRENCE && interval >= 1 &&
             7 * interval <= MaxEveryDays)
        fit = {atEveryDays, 7 * interval, ""};
    else if (plain && r.freq == ICAL_HOURLY_RECURRENCE && interval == 12 && !start.is_date)
        fit = {atEveryDays, 0, ""};
    else
        fit.Reason = WhyNot(r, start);
    return fit;
}

} // namespace vobrik
