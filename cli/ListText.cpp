#include "cli/ListText.h"

#include "calendar/FrenchDate.h"
#include "core/LocalTime.h"
#include "platform/Text1252.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace vobrik {

namespace {

// Windows-1252 text with its control characters as blanks, so that each
// reminder stays one line and one field.
std::string OneLine(const char* text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return line;
}

std::string KindText(const TAlarm& alarm) {
    switch (alarm.Type) {
    case atOnce:
        return "une fois";
    case atMonthly:
        return "mensuel";
    case atYearly:
        return "annuel";
    case atEveryDays:
        return "tous les " + std::to_string(alarm.EveryDays) + " jour(s)";
    default:
        return "type " + std::to_string(alarm.Type);
    }
}

// The kind as a script reads it.
const char* KindName(const TAlarm& alarm) {
    switch (alarm.Type) {
    case atOnce:
        return "once";
    case atMonthly:
        return "monthly";
    case atYearly:
        return "yearly";
    case atEveryDays:
        return "days";
    default:
        return "unknown";
    }
}

// "2027-01-05T10:00:00+01:00", local time with its offset.
std::string IsoLocal(int32_t when) {
    const std::tm local = ToLocal(when);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso = text;
    if (iso.size() > 2)
        iso.insert(iso.size() - 2, ":");
    return iso;
}

nlohmann::ordered_json Json(const TAlarm& alarm) {
    return {{"id", ReminderKey(alarm)},
            {"time", IsoLocal(alarm.When)},
            {"unix", alarm.When},
            {"kind", KindName(alarm)},
            {"interval", alarm.Type == atEveryDays ? alarm.EveryDays : 0},
            {"message", Utf8FromWindows1252(alarm.Message)}};
}

std::string Line(const TAlarm& alarm, TListForm form) {
    const std::string id = ReminderKey(alarm);
    if (form == TListForm::Tsv)
        return Utf8FromWindows1252(id + "\t" + std::to_string(alarm.When) + "\t" +
                                   IsoLocal(alarm.When) + "\t" + KindText(alarm) + "\t" +
                                   OneLine(alarm.Message)) +
               "\n";
    return Utf8FromWindows1252(id + "  " + FrenchDayInText(alarm.When) + " " +
                               ClockTime(alarm.When) + "  " + KindText(alarm) + "  " +
                               OneLine(alarm.Message)) +
           "\n";
}

// "mardi 5 janvier 2027 à 10:00 — Dentiste", in the reminders' Windows-1252.
std::string NextLine(const TAlarm& alarm) {
    static const std::string at = Windows1252FromUtf8(" à "), dash = Windows1252FromUtf8(" — ");
    return FrenchDayInText(alarm.When) + at + ClockTime(alarm.When) + dash + OneLine(alarm.Message);
}

} // namespace

std::string ReminderKey(const TAlarm& alarm) {
    char key[16];
    std::snprintf(key, sizeof key, "%08x", static_cast<unsigned>(ContentHash(alarm) >> 32));
    return key;
}

// Reads the table without touching it: a list in the running copy keeps the
// window's selection.
std::string ListText(const TAlarmTable& table, const std::string& file, TListForm form) {
    std::vector<const TAlarm*> sorted;
    for (int i = 0; i < table.AlarmCount; ++i)
        sorted.push_back(table.Alarms[i].get());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TAlarm* a, const TAlarm* b) { return a->When < b->When; });
    if (form == TListForm::Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const TAlarm* alarm : sorted)
            list.push_back(Json(*alarm));
        return list.dump() + "\n";
    }
    std::string text = form == TListForm::Text ? "Alarmes de " + file + " :\n" : "";
    for (const TAlarm* alarm : sorted)
        text += Line(*alarm, form);
    if (form == TListForm::Text && sorted.empty())
        text += "Aucune alarme\n";
    return text;
}

const TAlarm* NextAlarm(const TAlarmTable& table) {
    const TAlarm* next = nullptr;
    for (int i = 0; i < table.AlarmCount; ++i)
        if (next == nullptr || table.Alarms[i]->When < next->When)
            next = table.Alarms[i].get();
    return next;
}

std::string NextText(const TAlarm& alarm, bool json) {
    return (json ? Json(alarm).dump() : Utf8FromWindows1252(NextLine(alarm))) + "\n";
}

std::string TrayTipText(const TAlarmTable& table) {
    const TAlarm* next = NextAlarm(table);
    return next == nullptr ? "Vobrik\nAucune alarme"
                           : "Vobrik\nProchaine alarme : " + NextLine(*next);
}

} // namespace vobrik
