#include "calendar/ICalendar.h"
#include "calendar/ICalendarParts.h"
#include "calendar/ICalendarSeries.h"

#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include "calendar/Libical.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
namespace vobrik {

namespace {

std::string MessageText(const TAlarm& alarm) {
    return Utf8FromWindows1252(
        std::string_view(alarm.Message, strnlen(alarm.Message, AlarmMessageSize - 1)));
}

icaltimezone* ExportZone(const std::string& name) {
    if (name.empty())
        return nullptr;
    icaltimezone* zone = icaltimezone_get_builtin_timezone(name.c_str());
    return zone == icaltimezone_get_utc_timezone() ? nullptr : zone;
}

icalproperty* RuleOf(const TAlarm& alarm) {
    icalrecurrencetype rule;
    icalrecurrencetype_clear(&rule);
    switch (alarm.Type) {
    case atMonthly:
        rule.freq = ICAL_MONTHLY_RECURRENCE;
        break;
    case atYearly:
        rule.freq = ICAL_YEARLY_RECURRENCE;
        break;
    case atEveryDays:
        // The program steps a non-positive interval by half days.
        rule.freq = alarm.EveryDays > 0 ? ICAL_DAILY_RECURRENCE : ICAL_HOURLY_RECURRENCE;
        rule.interval =
            static_cast<short>(alarm.EveryDays > 0 ? std::min(alarm.EveryDays, 9999) : 12);
        break;
    default:
        return nullptr;
    }
    return icalproperty_new_rrule(rule);
}

// Where the program's own step and the rule part ways: it carries a missing
// day over into the next month, and keeps the day it lands on.
const char* StepNote(const TAlarm& alarm) {
    const std::tm local = ToLocal(alarm.When);
    if (alarm.Type == atMonthly && local.tm_mday > 28)
        return "Vobrik reporte ce rappel mensuel au début du mois suivant quand le jour "
               "manque (le 31 janvier sonne le 3 mars, puis le 3 de chaque mois).";
    if (alarm.Type == atYearly && local.tm_mon == 1 && local.tm_mday == 29)
        return "Vobrik fait sonner ce rappel le 1er mars des années non bissextiles, "
               "puis le 1er mars chaque année.";
    return nullptr;
}

// Where the program's steps part from the rule as other readers follow it (a
// time the clocks skip, which Vobrik then keeps): as the import notes it.
std::string PartingFromRule(const TAlarm& alarm, const icalrecurrencetype& rule,
                            const TReading& start) {
    constexpr int32_t TwoDays = 2 * 86400;
    TSeries series(rule, start, {},
                   alarm.When > INT32_MIN + TwoDays ? alarm.When - TwoDays : alarm.When);
    const std::optional<int32_t> first = series.NextAfter(alarm.When - 1);
    return first && *first == alarm.When ? PartingNote(alarm, series) : std::string();
}

// Times are written on the named zone's clock; a zone libical cannot name is
// written as floating times, which every calendar shows on its own clock as
// Vobrik rings on its own. The half-day kind steps exact hours: in UTC.
icalcomponent* EventOf(const TAlarm& alarm, const std::string& uid, icaltimezone* zone,
                       const std::string& zoneName, int32_t now) {
    icaltimezone* utc = icaltimezone_get_utc_timezone();
    const std::string text = MessageText(alarm);
    icalcomponent* event = icalcomponent_vanew(
        ICAL_VEVENT_COMPONENT, icalproperty_new_uid(uid.c_str()),
        icalproperty_new_dtstamp(icaltime_from_timet_with_zone(now, 0, utc)), nullptr);
    // An empty value is no value to a reader; a display alarm needs a text.
    if (!text.empty())
        icalcomponent_add_property(event, icalproperty_new_summary(text.c_str()));

    // A time in the hour the clocks show twice, the second time, reads back
    // as the first in every reader: it is written exact, in UTC, too.
    const std::tm local = ToLocal(alarm.When), hourBefore = ToLocal(alarm.When - 3600);
    const bool second = alarm.When > INT32_MIN + 3600 && local.tm_yday == hourBefore.tm_yday &&
                        local.tm_hour == hourBefore.tm_hour && local.tm_min == hourBefore.tm_min;
    const bool exact = (alarm.Type == atEveryDays && alarm.EveryDays <= 0) || second;
    const bool floating = !exact && zone == nullptr && zoneName != "UTC";
    if (exact)
        zone = nullptr;
    icaltimetype when = icaltime_from_timet_with_zone(alarm.When, 0, zone ? zone : utc);
    if (floating)
        when = LocalReading(alarm.When);
    else if (zone != nullptr)
        when.zone = nullptr; // the clock reading, its zone named by the TZID below
    icalproperty* start = icalproperty_new_dtstart(when);
    if (zone != nullptr)
        icalproperty_add_parameter(start, icalparameter_new_tzid(zoneName.c_str()));
    icalcomponent_add_property(event, start);
    if (icalproperty* rule = RuleOf(alarm)) {
        icalcomponent_add_property(event, rule);
        if (const char* note = StepNote(alarm))
            icalcomponent_add_property(event, icalproperty_new_comment(note));
        else if (const std::string parting = PartingFromRule(alarm, icalproperty_get_rrule(rule),
                                                             {when, floating ? nullptr
                                                                    : zone   ? zone
                                                                             : utc});
                 !parting.empty())
            icalcomponent_add_property(
                event,
                icalproperty_new_comment(
                    ("Vobrik ne suit pas tout à fait cette règle : " + parting + ".").c_str()));
    }
    if (floating)
        icalcomponent_add_property(
            event, icalproperty_new_comment("Heure locale : le fuseau horaire de l'ordinateur "
                                            "qui a exporté ce rappel n'a pas de nom connu."));

    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    trigger.duration = icaldurationtype_null_duration();
    icalcomponent_add_component(
        event,
        icalcomponent_vanew(ICAL_VALARM_COMPONENT, icalproperty_new_action(ICAL_ACTION_DISPLAY),
                            icalproperty_new_description(text.empty() ? "Vobrik" : text.c_str()),
                            icalproperty_new_trigger(trigger), nullptr));
    return event;
}
} // namespace

namespace {

// "Europe/Paris" from a path into the zone database, else empty.
std::string ZoneOfPath(const std::string& path) {
    const size_t folder = path.rfind("zoneinfo/");
    if (folder == std::string::npos)
        return {};
    std::string name = path.substr(folder + 9);
    for (const char* variant : {"posix/", "right/"})
        if (name.rfind(variant, 0) == 0)
            name.erase(0, std::strlen(variant));
    return name;
}

std::string RealPath(const char* path) {
    char real[PATH_MAX];
    return realpath(path, real) != nullptr ? real : path;
}

} // namespace

std::string LocalZoneName() {
    if (const char* tz = std::getenv("TZ")) {
        std::string name = *tz == ':' ? tz + 1 : tz;
        if (name.empty())
            return "UTC";
        if (name[0] != '/')
            return name;
        const std::string zone = ZoneOfPath(RealPath(name.c_str()));
        if (!zone.empty() || name != "/etc/localtime")
            return zone;
    }
    // /etc/localtime is a link into the zone database, or a copy of a zone
    // that Debian also names in /etc/timezone.
    if (std::string zone = ZoneOfPath(RealPath("/etc/localtime")); !zone.empty())
        return zone;
    std::string name;
    if (FILE* file = std::fopen("/etc/timezone", "r")) {
        char line[128] = "";
        if (std::fgets(line, sizeof line, file) != nullptr)
            name = line;
        std::fclose(file);
    }
    name.erase(name.find_last_not_of(" \n") + 1);
    return name;
}

std::string AlarmUid(const TAlarm& alarm) {
    char text[32];
    std::snprintf(text, sizeof text, "%016" PRIx64 "@vobrik", ContentHash(alarm));
    return text;
}

std::string ExportICalendar(const std::vector<TAlarm>& alarms, const std::string& zoneName,
                            int32_t now) {
    QuietLibical();
    icaltimezone* zone = ExportZone(zoneName);
    TComponent calendar(
        icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                            icalproperty_new_prodid("-//Vobrik//Vobrik//FR"), nullptr));
    if (zone != nullptr) {
        // Under the zone's plain name, which every calendar program knows.
        icalcomponent* definition = icalcomponent_new_clone(icaltimezone_get_component(zone));
        icalproperty* tzid = icalcomponent_get_first_property(definition, ICAL_TZID_PROPERTY);
        icalproperty_set_tzid(tzid, zoneName.c_str());
        icalcomponent_add_component(calendar.get(), definition);
    }
    // Identical reminders are told apart by their rank among themselves.
    std::map<std::string, int> seen;
    for (const TAlarm& alarm : alarms) {
        std::string uid = AlarmUid(alarm);
        if (const int rank = seen[uid]++; rank > 0)
            uid.insert(16, "-" + std::to_string(rank + 1));
        icalcomponent_add_component(calendar.get(), EventOf(alarm, uid, zone, zoneName, now));
    }
    const TOwnedText text(icalcomponent_as_ical_string_r(calendar.get()));
    return text ? std::string(text.get()) : std::string();
}

} // namespace vobrik
