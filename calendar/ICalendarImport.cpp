#include "calendar/ICalendar.h"

#include "calendar/ICalendarParts.h"
#include "calendar/ICalendarSeries.h"
#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <tuple>
#include <variant>

namespace vobrik {

namespace {

constexpr const char* NothingImported = " Rien n'a été importé.";

constexpr const char* PastReason = "date passée : ";
constexpr const char* NoDateReason = "pas de date (DTSTART ou DUE)";
constexpr const char* UnknownZoneReason = "fuseau horaire inconnu : ";
constexpr const char* OutOfRangeReason = "date hors des années 1902 à 2037";
constexpr const char* AddedDatesReason = "dates ajoutées à la série";
constexpr const char* TwoRulesReason = "plusieurs règles de répétition";
constexpr const char* CancelledReason = "annulé";
constexpr const char* CompletedReason = "tâche terminée";
constexpr const char* UnreadableReason = "propriété illisible : ";
constexpr const char* BadLineReason = "ligne illisible";
constexpr const char* UntitledLabel = "(sans titre)";

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

// ---- import: one event ------------------------------------------------------

std::string MessageOf(icalcomponent* event) {
    const char* text = icalcomponent_get_summary(event);
    if (text == nullptr || *text == '\0')
        text = icalcomponent_get_description(event);
    std::string message = Windows1252FromUtf8(text != nullptr ? text : "");
    // The message is one line, as typed in the editor.
    std::replace_if(
        message.begin(), message.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, ' ');
    return message.empty() ? UntitledLabel : message.substr(0, AlarmMessageSize - 1);
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

// ---- times ------------------------------------------------------------------

struct TSkip {
    std::string Reason;
};

// Whether a zone's definition gives its changes of time as dates (RDATE)
// only, with no rule that repeats them.
bool OnlyDatedTransitions(const icaltimezone* zone) {
    icalcomponent* definition = icaltimezone_get_component(const_cast<icaltimezone*>(zone));
    if (definition == nullptr)
        return false;
    for (icalcomponent* part = icalcomponent_get_first_component(definition, ICAL_ANY_COMPONENT);
         part != nullptr; part = icalcomponent_get_next_component(definition, ICAL_ANY_COMPONENT))
        if (Has(part, ICAL_RRULE_PROPERTY))
            return false;
    return true;
}

// The reading of a time property on the clock it names: its VTIMEZONE, a zone
// by name, UTC, or for floating times the calendar's zone (X-WR-TIMEZONE) or
// the local clock; whole days are local.
std::variant<TReading, TSkip> ReadingOf(icalproperty* property, icalcomponent* event,
                                        icaltimezone* floating) {
    icaltimetype t = icalproperty_get_datetime_with_component(property, event);
    if (icaltime_is_null_time(t))
        return TSkip{NoDateReason};
    TReading reading;
    reading.Zone = t.zone != nullptr ? const_cast<icaltimezone*>(t.zone) : floating;
    icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    const char* name = tzid != nullptr ? icalparameter_get_tzid(tzid) : nullptr;
    if (name != nullptr && t.zone == nullptr && !t.is_date) {
        reading.Zone = ZoneNamed(name);
        if (reading.Zone == nullptr)
            return TSkip{UnknownZoneReason + std::string(name)};
    } else if (name != nullptr && t.zone != nullptr && OnlyDatedTransitions(t.zone)) {
        // A definition that lists only the changes of a year or two (khal
        // writes them so) ends there; the zone the system knows by that name
        // goes on, as khal and other readers go on.
        if (icaltimezone* known = icaltimezone_get_builtin_timezone(name))
            reading.Zone = known;
    }
    if (t.is_date)
        reading.Zone = nullptr;
    t.zone = nullptr;
    reading.Fields = t;
    return reading;
}

// The times of a property's values, read as the event's start is.
std::vector<int32_t> TimesOf(icalcomponent* event, icalproperty_kind kind, icaltimezone* floating) {
    std::vector<int32_t> times;
    for (icalproperty* p = icalcomponent_get_first_property(event, kind); p != nullptr;
         p = icalcomponent_get_next_property(event, kind)) {
        const auto reading = ReadingOf(p, event, floating);
        if (const TReading* r = std::get_if<TReading>(&reading))
            if (const auto when = r->When())
                times.push_back(*when);
    }
    return times;
}

icalproperty* StartProperty(icalcomponent* event) {
    icalproperty* start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    return start != nullptr ? start : icalcomponent_get_first_property(event, ICAL_DUE_PROPERTY);
}

// ---- import: one event ------------------------------------------------------

std::optional<std::string> FirstSkipReason(icalcomponent* event) {
    if (const char* name = UnreadableTimeProperty(event))
        return UnreadableReason + std::string(name);
    if (HasDamagedLine(event))
        return BadLineReason;
    const icalproperty_status status = icalcomponent_get_status(event);
    if (status == ICAL_STATUS_CANCELLED)
        return CancelledReason;
    icalproperty* percent = icalcomponent_get_first_property(event, ICAL_PERCENTCOMPLETE_PROPERTY);
    if (status == ICAL_STATUS_COMPLETED || Has(event, ICAL_COMPLETED_PROPERTY) ||
        (percent != nullptr && icalproperty_get_percentcomplete(percent) >= 100))
        return CompletedReason;
    if (Has(event, ICAL_RDATE_PROPERTY))
        return AddedDatesReason;
    return std::nullopt;
}

struct TImported {
    TAlarm Alarm;
    std::string Note;
    std::vector<int32_t> Earlier;
};

// Days since 1 January 1970 of a local date.
long DayNumberOf(const std::tm& local) {
    std::tm date{};
    date.tm_year = local.tm_year, date.tm_mon = local.tm_mon, date.tm_mday = local.tm_mday;
    return static_cast<long>(timegm(&date) / 86400);
}

// One occurrence of the past year per clock time and phase of a series every
// `every` days: where Vobrik, stepping from it, may be now.
std::vector<int32_t> EarlierPhases(TSeries& past, int every, int32_t now) {
    std::vector<int32_t> earlier;
    std::vector<std::tuple<int, int, long>> seen;
    for (std::optional<int32_t> when = past.Next(); when && *when <= now; when = past.Next()) {
        const std::tm local = ToLocal(*when);
        const long day = DayNumberOf(local);
        const auto phase = std::make_tuple(local.tm_hour, local.tm_min, day % every);
        if (std::find(seen.begin(), seen.end(), phase) == seen.end()) {
            seen.push_back(phase);
            earlier.push_back(*when);
        }
    }
    return earlier;
}

// The reminder for one event, or why there is none. `taken` are the
// occurrences of a series that the calendar moves or cancels.
std::variant<TImported, TSkip> AlarmOf(icalcomponent* event, const std::string& message,
                                       icaltimezone* floating, std::vector<int32_t> taken,
                                       int32_t now) {
    if (const auto reason = FirstSkipReason(event))
        return TSkip{*reason};
    icalproperty* startProperty = StartProperty(event);
    if (startProperty == nullptr)
        return TSkip{NoDateReason};
    const auto reading = ReadingOf(startProperty, event, floating);
    if (const TSkip* skip = std::get_if<TSkip>(&reading))
        return *skip;
    const TReading& start = std::get<TReading>(reading);
    const std::optional<int32_t> first = start.When();
    if (!first)
        return TSkip{OutOfRangeReason};

    TImported imported;
    TAlarm& alarm = imported.Alarm;
    SetAlarmMessage(alarm, message.c_str());
    alarm.When = *first;
    icalproperty* ruleProperty = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (ruleProperty == nullptr) {
        // A task begun already rings when it is due.
        icalproperty* due = icalcomponent_get_first_property(event, ICAL_DUE_PROPERTY);
        if (alarm.When <= now && due != nullptr && due != startProperty) {
            const auto dueReading = ReadingOf(due, event, floating);
            if (const TReading* read = std::get_if<TReading>(&dueReading))
                if (const auto when = read->When(); when && *when > now)
                    alarm.When = *when;
        }
        if (alarm.When <= now)
            return TSkip{PastReason + ShownDate(alarm.When)};
        return imported;
    }
    if (icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY) != nullptr)
        return TSkip{TwoRulesReason};
    const icalrecurrencetype rule = icalproperty_get_rrule(ruleProperty);
    const TRuleFit fit = FitRule(rule, start.Fields);
    if (!fit.Reason.empty())
        return TSkip{fit.Reason};
    alarm.Type = fit.Type;
    alarm.EveryDays = fit.EveryDays;
    std::vector<int32_t> excluded = TimesOf(event, ICAL_EXDATE_PROPERTY, floating);
    excluded.insert(excluded.end(), taken.begin(), taken.end());
    constexpr int32_t Year = 366 * 86400;
    if (alarm.Type == atEveryDays && alarm.EveryDays > 0 && now > INT32_MIN + Year) {
        TSeries past(rule, start, excluded, now - Year);
        imported.Earlier = EarlierPhases(past, alarm.EveryDays, now);
    }
    constexpr int32_t TwoDays = 2 * 86400;
    TSeries series(rule, start, std::move(excluded),
                   now > INT32_MIN + TwoDays ? now - TwoDays : now);
    const std::optional<int32_t> next = series.NextAfter(now);
    if (!next)
        return TSkip{OutOfRangeReason};
    alarm.When = *next;
    imported.Note = PartingNote(alarm, series);
    return imported;
}

struct TEvent {
    icalcomponent* Component;
    int BadLine;
};

void Add(const std::string& message, std::variant<TImported, TSkip> outcome,
         TICalendarImport& result) {
    if (auto* skip = std::get_if<TSkip>(&outcome)) {
        result.Skipped.push_back({message, skip->Reason});
        return;
    }
    auto& imported = std::get<TImported>(outcome);
    result.Alarms.push_back(imported.Alarm);
    result.Notes.push_back(imported.Note);
    result.Earlier.push_back(std::move(imported.Earlier));
}

std::string UidOf(icalcomponent* event) {
    const char* uid = icalcomponent_get_uid(event);
    return uid != nullptr ? uid : "";
}

// Whether `a` is a later version of the event than `b`: a higher SEQUENCE,
// or the same and a later DTSTAMP.
bool IsNewer(icalcomponent* a, icalcomponent* b) {
    const int sa = icalcomponent_get_sequence(a), sb = icalcomponent_get_sequence(b);
    if (sa != sb)
        return sa > sb;
    return icaltime_compare(icalcomponent_get_dtstamp(a), icalcomponent_get_dtstamp(b)) > 0;
}

// A series with the occurrences the calendar changes: the moved ones become
// reminders of their own at their new time, and the series rings at neither
// their old time nor at a cancelled one.
void ImportSeries(icalcomponent* master, const std::vector<icalcomponent*>& overrides,
                  icaltimezone* floating, int32_t now, TICalendarImport& result) {
    std::vector<int32_t> taken;
    std::vector<icalcomponent*> moved;
    for (icalcomponent* change : overrides) {
        const std::vector<int32_t> original = TimesOf(change, ICAL_RECURRENCEID_PROPERTY, floating);
        const std::vector<int32_t> start = TimesOf(change, ICAL_DTSTART_PROPERTY, floating);
        const bool cancelled = icalcomponent_get_status(change) == ICAL_STATUS_CANCELLED;
        if (original.empty() || (!cancelled && (start.empty() || start == original)))
            continue;
        taken.push_back(original[0]);
        if (!cancelled && start[0] > now)
            moved.push_back(change);
    }
    const std::string message = MessageOf(master);
    Add(message, AlarmOf(master, message, floating, taken, now), result);
    for (icalcomponent* change : moved) {
        const std::string text = MessageOf(change);
        Add(text, AlarmOf(change, text, floating, {}, now), result);
    }
}

void ImportCalendar(icalcomponent* calendar, const std::vector<int>& badLines, size_t& index,
                    int32_t now, TICalendarImport& result) {
    icalproperty* zoneName = icalcomponent_get_first_property(calendar, ICAL_X_PROPERTY);
    while (zoneName != nullptr &&
           std::strcmp(icalproperty_get_x_name(zoneName), "X-WR-TIMEZONE") != 0)
        zoneName = icalcomponent_get_next_property(calendar, ICAL_X_PROPERTY);
    icaltimezone* floating =
        zoneName != nullptr ? ZoneNamed(icalproperty_get_value_as_string(zoneName)) : nullptr;

    std::vector<TEvent> events;
    std::map<std::string, icalcomponent*> latest; // by UID, of the events that are not overrides
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT);
         c != nullptr; c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT)
            continue;
        events.push_back({c, index < badLines.size() ? badLines[index] : 0});
        ++index;
        if (events.back().BadLine == 0 && !Has(c, ICAL_RECURRENCEID_PROPERTY) && !UidOf(c).empty())
            if (icalcomponent*& kept = latest[UidOf(c)]; kept == nullptr || !IsNewer(kept, c))
                kept = c;
    }
    // An invitation and its updates, or one event written twice, are one
    // event: the highest SEQUENCE counts, then the latest DTSTAMP (RFC 5546).
    events.erase(std::remove_if(events.begin(), events.end(),
                                [&](const TEvent& e) {
                                    const auto kept = latest.find(UidOf(e.Component));
                                    return e.BadLine == 0 && kept != latest.end() &&
                                           !Has(e.Component, ICAL_RECURRENCEID_PROPERTY) &&
                                           kept->second != e.Component;
                                }),
                 events.end());
    std::map<std::string, icalcomponent*> series;
    for (const auto& [uid, c] : latest)
        if (Has(c, ICAL_RRULE_PROPERTY))
            series.emplace(uid, c);
    std::map<icalcomponent*, std::vector<icalcomponent*>> overrides;
    for (const TEvent& e : events)
        if (Has(e.Component, ICAL_RECURRENCEID_PROPERTY) && e.BadLine == 0)
            if (const auto master = series.find(UidOf(e.Component)); master != series.end())
                overrides[master->second].push_back(e.Component);
    for (const TEvent& e : events) {
        const std::string message = MessageOf(e.Component);
        if (e.BadLine != 0)
            result.Skipped.push_back({message, BadLineReason + std::string(" (ligne ") +
                                                   std::to_string(e.BadLine) + ")"});
        else if (Has(e.Component, ICAL_RECURRENCEID_PROPERTY) &&
                 series.count(UidOf(e.Component)) != 0)
            continue; // read with its series
        else if (const auto changes = overrides.find(e.Component); changes != overrides.end())
            ImportSeries(e.Component, changes->second, floating, now, result);
        else
            Add(message, AlarmOf(e.Component, message, floating, {}, now), result);
    }
}

// A zone whose rules repeat more often than yearly is not a real time zone,
// and libical expands such a rule step by step from its first onset: an
// hourly rule from 1601 takes minutes. Dropped, its events are skipped as
// being in an unknown zone.
void DropRunawayZones(icalcomponent* calendar) {
    std::vector<icalcomponent*> runaway;
    for (icalcomponent* zone =
             icalcomponent_get_first_component(calendar, ICAL_VTIMEZONE_COMPONENT);
         zone; zone = icalcomponent_get_next_component(calendar, ICAL_VTIMEZONE_COMPONENT)) {
        for (icalcomponent* rule = icalcomponent_get_first_component(zone, ICAL_ANY_COMPONENT);
             rule; rule = icalcomponent_get_next_component(zone, ICAL_ANY_COMPONENT)) {
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
    TCalendarText read = ReadCalendarText(text);
    if (!read.Error.empty()) {
        result.Error = read.Error + NothingImported;
        return result;
    }
    size_t index = 0;
    for (const TComponent& calendar : read.Calendars) {
        DropRunawayZones(calendar.get());
        ImportCalendar(calendar.get(), read.BadLines, index, now, result);
    }
    return result;
}

} // namespace vobrik
