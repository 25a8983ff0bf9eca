#include "calendar/ICalendar.h"

#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include "calendar/Libical.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>
#include <variant>
namespace vobrik {

namespace {

// Windows-1252 texts: 0xE0 is à, 0xE2 â, 0xE9 é, 0xEA ê.
constexpr const char* NothingImported = " Rien n'a \xE9t\xE9 import\xE9.";
constexpr const char* BinaryText = "Ce fichier n'est pas un calendrier iCalendar : il contient des "
                                   "donn\xE9"
                                   "es binaires.";
constexpr const char* UnfinishedText =
    "Ce fichier iCalendar est incomplet : un bloc BEGIN n'a pas de END.";
constexpr const char* NoCalendarText =
    "Ce fichier ne contient aucun calendrier iCalendar (BEGIN:VCALENDAR).";
constexpr const char* DamagedText =
    "Ce fichier iCalendar est endommag\xE9 : une ligne ne peut pas \xEAtre lue.";

constexpr const char* PastReason = "date pass\xE9"
                                   "e : ";
constexpr const char* NoDateReason = "pas de date (DTSTART ou DUE)";
constexpr const char* UnknownZoneReason = "fuseau horaire inconnu : ";
constexpr const char* OutOfRangeReason = "date hors des ann\xE9"
                                         "es 1902 \xE0 2037";
constexpr const char* RichRuleReason = "r\xE9p\xE9tition que Vobrik ne sait pas suivre : ";
constexpr const char* ExtraDatesReason =
    "r\xE9p\xE9tition avec des dates en plus ou en moins (RDATE, EXDATE)";
constexpr const char* OverrideReason = "occurrence modifi\xE9"
                                       "e d'une s\xE9rie (RECURRENCE-ID)";
constexpr const char* CancelledReason = "annul\xE9";
constexpr const char* CompletedReason = "t\xE2"
                                        "che termin\xE9"
                                        "e";
constexpr const char* UnreadableReason = "propri\xE9t\xE9 illisible : ";
constexpr const char* UntitledLabel = "(sans titre)";

// All-day events ring at this hour on the local clock.
constexpr int AllDayHour = 9;
// Longest interval the editor can show.
constexpr int MaxEveryDays = 999;
// Occurrences looked at past the one nearest now before giving up.
constexpr int MaxSteps = 1000;

// Feeds the parser as fgets would from a file.
char* NextLine(char* out, size_t size, void* data) {
    auto& rest = *static_cast<std::string_view*>(data);
    if (rest.empty() || size < 2)
        return nullptr;
    const size_t newline = rest.find('\n');
    const size_t length =
        std::min(newline == std::string_view::npos ? rest.size() : newline + 1, size - 1);
    std::memcpy(out, rest.data(), length);
    out[length] = '\0';
    rest.remove_prefix(length);
    return out;
}

bool HasError(icalcomponent* component, icalparameter_xlicerrortype type) {
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY)) {
        icalparameter* kind = icalproperty_get_first_parameter(p, ICAL_XLICERRORTYPE_PARAMETER);
        if (kind != nullptr && icalparameter_get_xlicerrortype(kind) == type)
            return true;
    }
    return false;
}

bool HasDamagedLine(icalcomponent* component) {
    if (HasError(component, ICAL_XLICERRORTYPE_COMPONENTPARSEERROR))
        return true;
    for (icalcomponent* c = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT);
         c != nullptr; c = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
        if (HasDamagedLine(c))
            return true;
    return false;
}

// The calendars of the text, or the reason it is refused.
std::vector<TComponent> ReadCalendars(std::string_view text, std::string& error) {
    std::vector<TComponent> calendars;
    if (text.find('\0') != std::string_view::npos) {
        error = BinaryText;
        return calendars;
    }
    TParser parser(icalparser_new());
    std::string_view rest = text;
    icalparser_set_gen_data(parser.get(), &rest);
    while (TOwnedText line{icalparser_get_line(parser.get(), NextLine)}) {
        TComponent done(icalparser_add_line(parser.get(), line.get()));
        if (done && icalcomponent_isa(done.get()) == ICAL_VCALENDAR_COMPONENT)
            calendars.push_back(std::move(done));
    }
    // What is still open had no END; the parser keeps and frees it.
    if (icalparser_clean(parser.get()) != nullptr)
        error = UnfinishedText;
    else if (calendars.empty())
        error = NoCalendarText;
    else if (std::any_of(calendars.begin(), calendars.end(),
                         [](const TComponent& c) { return HasDamagedLine(c.get()); }))
        error = DamagedText;
    if (!error.empty())
        calendars.clear();
    return calendars;
}

// ---- import: one event ------------------------------------------------------

struct TSkip {
    std::string Reason;
};

std::string LabelOf(const std::string& message) {
    return message.empty() ? UntitledLabel : message;
}

std::string MessageOf(icalcomponent* event) {
    const char* text = icalcomponent_get_summary(event);
    if (text == nullptr || *text == '\0')
        text = icalcomponent_get_description(event);
    std::string message = Windows1252FromUtf8(text != nullptr ? text : "");
    // The message is one line, as typed in the editor.
    std::replace_if(
        message.begin(), message.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, ' ');
    return message.substr(0, AlarmMessageSize - 1);
}

std::optional<int32_t> Fit(time_t t) {
    if (t < std::numeric_limits<int32_t>::min() || t > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(t);
}

// A start read on its own clock: a zone's, UTC, or, for floating times and
// whole days, the local one.
std::optional<int32_t> WhenOf(const icaltimetype& t) {
    if (t.zone != nullptr && !t.is_date)
        return Fit(icaltime_as_timet_with_zone(t, t.zone)); // t.zone: the zone t is read in
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.is_date ? AllDayHour : t.hour;
    local.tm_min = t.is_date ? 0 : t.minute;
    local.tm_sec = t.is_date ? 0 : t.second;
    local.tm_isdst = -1;
    errno = 0;
    const time_t when = mktime(&local);
    if (when == static_cast<time_t>(-1) && errno != 0)
        return std::nullopt;
    return Fit(when);
}

// The time near `at` on the start's own clock, for the iterator to begin at.
icaltimetype OnClockOf(const icaltimetype& start, int32_t at) {
    if (start.zone != nullptr && !start.is_date)
        return icaltime_from_timet_with_zone(at, 0, start.zone);
    const std::tm local = ToLocal(at);
    icaltimetype t = icaltime_null_time();
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.is_date = start.is_date;
    return t;
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

// The kind and interval for the rule, when the program can follow it.
std::optional<std::pair<TAlarmType, int32_t>> KindOf(const icalrecurrencetype& r,
                                                     const icaltimetype& start) {
    if (r.count != 0 || !icaltime_is_null_time(r.until) || r.rscale != nullptr ||
        !ByPartsRestateStart(r, start))
        return std::nullopt;
    const int interval = r.interval;
    switch (r.freq) {
    case ICAL_MONTHLY_RECURRENCE:
        if (interval == 1)
            return std::make_pair(atMonthly, 0);
        break;
    case ICAL_YEARLY_RECURRENCE:
        if (interval == 1)
            return std::make_pair(atYearly, 0);
        break;
    case ICAL_DAILY_RECURRENCE:
        if (interval >= 1 && interval <= MaxEveryDays)
            return std::make_pair(atEveryDays, interval);
        break;
    case ICAL_WEEKLY_RECURRENCE:
        if (interval >= 1 && 7 * interval <= MaxEveryDays)
            return std::make_pair(atEveryDays, 7 * interval);
        break;
    case ICAL_HOURLY_RECURRENCE:
        if (interval == 12 && !start.is_date)
            return std::make_pair(atEveryDays, 0);
        break;
    default:
        break;
    }
    return std::nullopt;
}

std::string ShownDate(int32_t when) {
    const std::tm local = ToLocal(when);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M", &local);
    return text;
}

// The first occurrence after now, following the rule as other calendars do.
std::optional<int32_t> NextOccurrence(const icalrecurrencetype& rule, const icaltimetype& start,
                                      int32_t first, int32_t now) {
    if (first > now)
        return first;
    TIterator it(icalrecur_iterator_new(rule, start));
    if (!it)
        return std::nullopt;
    constexpr int32_t TwoDays = 2 * 86400;
    icalrecur_iterator_set_start(it.get(),
                                 OnClockOf(start, now > INT32_MIN + TwoDays ? now - TwoDays : now));
    for (int step = 0; step < MaxSteps; ++step) {
        icaltimetype next = icalrecur_iterator_next(it.get());
        if (icaltime_is_null_time(next))
            return std::nullopt;
        next.zone = start.zone;
        const std::optional<int32_t> when = WhenOf(next);
        if (!when)
            return std::nullopt;
        if (*when > now)
            return when;
    }
    return std::nullopt;
}

bool Has(icalcomponent* event, icalproperty_kind kind) {
    return icalcomponent_get_first_property(event, kind) != nullptr;
}

// libical drops a property it cannot read and names it in an X-LIC-ERROR.
// Only the properties that decide when the reminder rings matter: an empty
// DESCRIPTION, as some programs write, must not cost the event.
const char* UnreadableTimeProperty(icalcomponent* event) {
    static const char* const Needed[] = {"DTSTART", "DUE",    "RRULE",
                                         "RDATE",   "EXDATE", "RECURRENCE-ID"};
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(event, ICAL_XLICERROR_PROPERTY)) {
        const char* text = icalproperty_get_xlicerror(p);
        for (const char* name : Needed)
            if (text != nullptr &&
                std::strstr(text, (std::string(" ") + name + " property").c_str()))
                return name;
    }
    return nullptr;
}

std::optional<std::string> FirstSkipReason(icalcomponent* event) {
    if (const char* name = UnreadableTimeProperty(event))
        return UnreadableReason + std::string(name);
    if (Has(event, ICAL_RECURRENCEID_PROPERTY))
        return OverrideReason;
    const icalproperty_status status = icalcomponent_get_status(event);
    if (status == ICAL_STATUS_CANCELLED)
        return CancelledReason;
    if (status == ICAL_STATUS_COMPLETED || Has(event, ICAL_COMPLETED_PROPERTY))
        return CompletedReason;
    if (Has(event, ICAL_RDATE_PROPERTY) || Has(event, ICAL_EXDATE_PROPERTY))
        return ExtraDatesReason;
    return std::nullopt;
}

// The reminder for one event, or why there is none.
std::variant<TAlarm, TSkip> AlarmOf(icalcomponent* event, const std::string& message, int32_t now) {
    if (const auto reason = FirstSkipReason(event))
        return TSkip{*reason};
    icalproperty* startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    const bool due = startProperty == nullptr;
    if (due)
        startProperty = icalcomponent_get_first_property(event, ICAL_DUE_PROPERTY);
    if (startProperty == nullptr)
        return TSkip{NoDateReason};
    icaltimetype start = due ? icalcomponent_get_due(event) : icalcomponent_get_dtstart(event);
    if (icaltime_is_null_time(start))
        return TSkip{NoDateReason};
    if (icalparameter* tzid = icalproperty_get_first_parameter(startProperty, ICAL_TZID_PARAMETER);
        tzid != nullptr && start.zone == nullptr && !start.is_date) {
        const char* name = icalparameter_get_tzid(tzid);
        start.zone = icaltimezone_get_builtin_timezone(name != nullptr ? name : "");
        if (start.zone == nullptr)
            return TSkip{UnknownZoneReason + Windows1252FromUtf8(name != nullptr ? name : "")};
    }
    const std::optional<int32_t> first = WhenOf(start);
    if (!first)
        return TSkip{OutOfRangeReason};

    TAlarm alarm;
    SetAlarmMessage(alarm, message.c_str());
    alarm.When = *first;
    icalproperty* ruleProperty = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (ruleProperty == nullptr) {
        if (alarm.When <= now)
            return TSkip{PastReason + ShownDate(alarm.When)};
        return alarm;
    }
    const icalrecurrencetype rule = icalproperty_get_rrule(ruleProperty);
    const auto kind = KindOf(rule, start);
    if (!kind || icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY) != nullptr) {
        const char* text = icalproperty_get_value_as_string(ruleProperty);
        return TSkip{RichRuleReason + std::string(text != nullptr ? text : "")};
    }
    alarm.Type = kind->first;
    alarm.EveryDays = kind->second;
    const std::optional<int32_t> next = NextOccurrence(rule, start, *first, now);
    if (!next)
        return TSkip{OutOfRangeReason};
    alarm.When = *next;
    return alarm;
}

void ImportCalendar(icalcomponent* calendar, int32_t now, TICalendarImport& result) {
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT);
         c != nullptr; c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT)
            continue;
        const std::string message = MessageOf(c);
        auto alarm = AlarmOf(c, message, now);
        if (auto* skip = std::get_if<TSkip>(&alarm))
            result.Skipped.push_back({LabelOf(message), skip->Reason});
        else
            result.Alarms.push_back(std::get<TAlarm>(alarm));
    }
}

// A zone whose rules repeat more often than yearly is not a real time zone,
// and libical expands such a rule step by step from its first onset: an
// hourly rule from 1601 takes minutes. Dropped, its events are skipped as
// being in an unknown zone.
void DropRunawayZones(icalcomponent* calendar) {
    std::vector<icalcomponent*> runaway;
    for (icalcomponent* zone = icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT);
         zone; zone = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        for (icalcomponent* rule = icalcomponent_get_first_component(zone, ICAL_ANY_COMPONENT); rule;
             rule = icalcomponent_get_next_component(zone, ICAL_ANY_COMPONENT)) {
            for (icalproperty* recur = icalcomponent_get_first_property(rule, ICAL_RRULE_PROPERTY);
                 recur; recur = icalcomponent_get_next_property(rule, ICAL_RRULE_PROPERTY)) {
                const icalrecurrencetype freq = icalproperty_get_rrule(recur);
                if (freq.freq != ICAL_YEARLY_RECURRENCE && freq.freq != ICAL_MONTHLY_RECURRENCE &&
                    std::find(runaway.begin(), runaway.end(), zone) == runaway.end())
                    runaway.push_back(zone);
            }
        }
    }
    for (icalcomponent* zone : runaway) {
        icalcomponent_remove_component(calendar, zone);
        icalcomponent_free(zone);
    }
}

} // namespace

TICalendarImport ImportICalendar(std::string_view text, int32_t now) {
    QuietLibical();
    TICalendarImport result;
    const std::vector<TComponent> calendars = ReadCalendars(text, result.Error);
    if (!result.Error.empty()) {
        result.Error += NothingImported;
        return result;
    }
    for (const TComponent& calendar : calendars) {
        DropRunawayZones(calendar.get());
        ImportCalendar(calendar.get(), now, result);
    }
    return result;
}

} // namespace vobrik
