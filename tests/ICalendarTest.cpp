#include "calendar/ICalendar.h"

#include "Fakes.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <cstring>
#include <memory>

namespace vobrik {
namespace {

using test::Local;

// Tuesday 1 December 2026, 12:00 in Paris.
constexpr int32_t Now = 1796122800;

// As calendar programs write it: CRLF line ends.
std::string Calendar(const std::string& body) {
    std::string crlf;
    for (const char c : "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//FR\n" + body +
                            "END:VCALENDAR\n") {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

std::string Event(const std::string& lines, const char* kind = "VEVENT") {
    return std::string("BEGIN:") + kind + "\nUID:1\nSUMMARY:Rendez-vous\n" + lines + "END:" +
           kind + "\n";
}

const std::string PacificZone = "BEGIN:VTIMEZONE\nTZID:Pacific Standard Time\n"
                                "BEGIN:STANDARD\nDTSTART:16010101T020000\nTZOFFSETFROM:-0700\n"
                                "TZOFFSETTO:-0800\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\n"
                                "END:STANDARD\nBEGIN:DAYLIGHT\nDTSTART:16010101T020000\n"
                                "TZOFFSETFROM:-0800\nTZOFFSETTO:-0700\n"
                                "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\nEND:DAYLIGHT\n"
                                "END:VTIMEZONE\n";

struct TKept {
    const char* Name;
    std::string Body;
    int32_t When;
    int Type;
    int32_t EveryDays;
    std::string Message = "Rendez-vous";
};

class ICalendar : public ::testing::Test {
  protected:
    test::ScopedTz Zone{"Europe/Paris"};
};

TEST_F(ICalendar, EachShapeBecomesItsReminder) {
    const TKept cases[] = {
        {"zone of the file, daylight rules, folded UTF-8",
         PacificZone + "BEGIN:VEVENT\nSUMMARY:R\xC3\n \xA9union d'\xC3\xA9quipe\n"
                       "DTSTART;TZID=Pacific Standard Time:20270615T143000\nEND:VEVENT\n",
         Local(2027, 6, 15, 23, 30), atOnce, 0, "R\xE9union d'\xE9quipe"},
        {"UTC", Event("DTSTART:20270101T080000Z\n"), Local(2027, 1, 1, 9, 0), atOnce, 0},
        {"floating", Event("DTSTART:20270101T080000\n"), Local(2027, 1, 1, 8, 0), atOnce, 0},
        {"all day", Event("DTSTART;VALUE=DATE:20270214\n"), Local(2027, 2, 14, 9, 0), atOnce, 0},
        {"weekly on its weekday, zone by name",
         Event("DESCRIPTION:\nLOCATION:\nDTSTART;TZID=America/New_York:20261102T090000\n"
               "RRULE:FREQ=WEEKLY;BYDAY=MO\n"),
         Local(2026, 12, 7, 15, 0), atEveryDays, 7},
        {"fortnightly all day", Event("DTSTART;VALUE=DATE:20261130\nRRULE:FREQ=WEEKLY;INTERVAL=2\n"),
         Local(2026, 12, 14, 9, 0), atEveryDays, 14},
        {"every three days", Event("DTSTART:20261201T100000\nRRULE:FREQ=DAILY;INTERVAL=3\n"),
         Local(2026, 12, 4, 10, 0), atEveryDays, 3},
        {"monthly from the 31st", Event("DTSTART:20260131T080000\nRRULE:FREQ=MONTHLY\n"),
         Local(2026, 12, 31, 8, 0), atMonthly, 0},
        {"yearly on 29 February",
         Event("DTSTART;VALUE=DATE:19800229\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\n"),
         Local(2028, 2, 29, 9, 0), atYearly, 0},
        {"half days", Event("DTSTART:20261201T000000Z\nRRULE:FREQ=HOURLY;INTERVAL=12\n"),
         Local(2026, 12, 1, 13, 0), atEveryDays, 0},
        {"task due", Event("DUE:20270301T100000Z\n", "VTODO"), Local(2027, 3, 1, 11, 0), atOnce, 0},
        {"description only, long, outside the code page",
         "BEGIN:VEVENT\nDTSTART:20270101T080000\nDESCRIPTION:Ligne 1\\nLigne 2 \xCE\xB1 " +
             std::string(200, 'x') + "\nEND:VEVENT\n",
         Local(2027, 1, 1, 8, 0), atOnce, 0, "Ligne 1 Ligne 2 ? " + std::string(181, 'x')},
    };
    for (const TKept& c : cases) {
        SCOPED_TRACE(c.Name);
        const TICalendarImport result = ImportICalendar(Calendar(c.Body), Now);
        EXPECT_EQ("", result.Error);
        ASSERT_EQ(1u, result.Alarms.size());
        const TAlarm& alarm = result.Alarms[0];
        EXPECT_EQ(test::ShowLocal(c.When), test::ShowLocal(alarm.When));
        EXPECT_EQ(c.Type, alarm.Type);
        EXPECT_EQ(c.EveryDays, alarm.EveryDays);
        EXPECT_EQ(c.Message, alarm.Message);
    }
}

TEST_F(ICalendar, WhatTheProgramCannotFollowIsListedWithItsReason) {
    const std::string rule = "r\xE9p\xE9tition que Vobrik ne sait pas suivre : ";
    const std::pair<std::string, std::string> cases[] = {
        {"DTSTART:20261130T100000Z\n", "date pass\xE9" "e : 30/11/2026 11:00"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=DAILY;COUNT=5\n", rule + "FREQ=DAILY;COUNT=5"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE\n",
         rule + "FREQ=WEEKLY;BYDAY=MO,WE"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=MONTHLY;INTERVAL=2\n",
         rule + "FREQ=MONTHLY;INTERVAL=2"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=YEARLY;BYMONTHDAY=1\n",
         rule + "FREQ=YEARLY;BYMONTHDAY=1"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=DAILY\nEXDATE:20260102T080000Z\n",
         "r\xE9p\xE9tition avec des dates en plus ou en moins (RDATE, EXDATE)"},
        {"DTSTART:20260101T080000Z\nRRULE:FREQ=BOGUS\n", "propri\xE9t\xE9 illisible : RRULE"},
        {"DTSTART;TZID=Mars/Olympus:20270101T080000\n", "fuseau horaire inconnu : Mars/Olympus"},
        {"DTSTART:20270101T080000Z\nSTATUS:CANCELLED\n", "annul\xE9"},
        {"DTSTART:20270101T080000Z\nRECURRENCE-ID:20270101T080000Z\n",
         "occurrence modifi\xE9" "e d'une s\xE9rie (RECURRENCE-ID)"},
        {"DTSTART:20400101T080000Z\n", "date hors des ann\xE9" "es 1902 \xE0 2037"},
        {"LOCATION:nulle part\n", "pas de date (DTSTART ou DUE)"},
    };
    for (const auto& [lines, reason] : cases) {
        SCOPED_TRACE(lines);
        const TICalendarImport result = ImportICalendar(Calendar(Event(lines)), Now);
        EXPECT_TRUE(result.Alarms.empty());
        ASSERT_EQ(1u, result.Skipped.size());
        EXPECT_EQ("Rendez-vous", result.Skipped[0].Label);
        EXPECT_EQ(reason, result.Skipped[0].Reason);
    }
}

TEST_F(ICalendar, DamagedTextIsRefusedWhole) {
    const std::string good = Calendar(Event("DTSTART:20270101T080000Z\n"));
    const std::string nothing = " Rien n'a \xE9t\xE9 import\xE9.";
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2),
         "Ce fichier iCalendar est incomplet : un bloc BEGIN n'a pas de END."},
        {good.substr(0, good.find("END:VCALENDAR")),
         "Ce fichier iCalendar est incomplet : un bloc BEGIN n'a pas de END."},
        {good + std::string("\0\x01\x02\xFF", 4),
         "Ce fichier n'est pas un calendrier iCalendar : il contient des donn\xE9" "es binaires."},
        {"Ceci n'est pas un calendrier.\n",
         "Ce fichier ne contient aucun calendrier iCalendar (BEGIN:VCALENDAR)."},
        {Calendar(Event("DTSTART:20270101T080000Z\n\x89PNG garbage\n")),
         "Ce fichier iCalendar est endommag\xE9 : une ligne ne peut pas \xEAtre lue."},
    };
    for (const auto& [text, error] : cases) {
        const TICalendarImport result = ImportICalendar(text, Now);
        EXPECT_EQ(error + nothing, result.Error);
        EXPECT_TRUE(result.Alarms.empty() && result.Skipped.empty());
    }
}

struct TIcalDelete {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

std::vector<TAlarm> Reminders() {
    const std::pair<int, int32_t> kinds[] = {{atOnce, 0}, {atMonthly, 0}, {atYearly, 0},
                                             {atEveryDays, 3}, {atEveryDays, 0}, {atEveryDays, -4}};
    std::vector<TAlarm> alarms;
    for (const auto& [type, every] : kinds) {
        TAlarm alarm;
        alarm.When = Local(2027, 1, 15, 9, static_cast<int>(alarms.size()));
        alarm.Type = static_cast<uint8_t>(type);
        alarm.EveryDays = every;
        SetAlarmMessage(alarm, "Caf\xE9, cr\xE8me; 5 \x80 \\ fin");
        alarms.push_back(alarm);
    }
    return alarms;
}

TEST_F(ICalendar, ExportReadsBackThroughLibicalAndThroughImport) {
    const std::vector<TAlarm> alarms = Reminders();
    const std::string text = ExportICalendar(alarms, "Europe/Paris", Now);
    std::unique_ptr<icalcomponent, TIcalDelete> calendar(icalparser_parse_string(text.c_str()));
    ASSERT_TRUE(calendar);
    EXPECT_EQ(1, icalcomponent_count_components(calendar.get(), ICAL_VTIMEZONE_COMPONENT));
    const char* rules[] = {"", "FREQ=MONTHLY", "FREQ=YEARLY", "FREQ=DAILY;INTERVAL=3",
                           "FREQ=HOURLY;INTERVAL=12", "FREQ=HOURLY;INTERVAL=12"};
    icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
    for (size_t i = 0; i < alarms.size(); ++i, event = icalcomponent_get_next_component(
                                                   calendar.get(), ICAL_VEVENT_COMPONENT)) {
        ASSERT_NE(nullptr, event);
        EXPECT_STREQ("Caf\xC3\xA9, cr\xC3\xA8me; 5 \xE2\x82\xAC \\ fin",
                     icalcomponent_get_summary(event));
        const icaltimetype start = icalcomponent_get_dtstart(event);
        EXPECT_STREQ("Europe/Paris", icaltime_get_tzid(start));
        EXPECT_EQ(alarms[i].When, icaltime_as_timet_with_zone(start, start.zone));
        icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        EXPECT_STREQ(rules[i], rule ? icalproperty_get_value_as_string(rule) : "");
        icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
        ASSERT_NE(nullptr, alarm);
        EXPECT_EQ(ICAL_ACTION_DISPLAY, icalproperty_get_action(icalcomponent_get_first_property(
                                           alarm, ICAL_ACTION_PROPERTY)));
        EXPECT_EQ(0, icaldurationtype_as_int(
                         icalproperty_get_trigger(
                             icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY))
                             .duration));
    }

    test::ScopedTz elsewhere("Asia/Tokyo"); // the zone travels with the file
    const TICalendarImport back = ImportICalendar(text, Now);
    ASSERT_EQ(alarms.size(), back.Alarms.size());
    for (size_t i = 0; i < alarms.size(); ++i) {
        EXPECT_EQ(alarms[i].When, back.Alarms[i].When);
        EXPECT_EQ(alarms[i].Type, back.Alarms[i].Type);
        EXPECT_EQ(std::max(alarms[i].EveryDays, 0), back.Alarms[i].EveryDays);
        EXPECT_STREQ(alarms[i].Message, back.Alarms[i].Message);
    }
}

TEST_F(ICalendar, UidStaysWhileTheReminderIsUnchangedAndTellsTwinsApart) {
    std::vector<TAlarm> alarms = Reminders();
    alarms.push_back(alarms[0]);
    const std::string first = ExportICalendar(alarms, "Europe/Paris", Now);
    const std::string uid = "UID:" + AlarmUid(alarms[0]);
    EXPECT_NE(std::string::npos, first.find(uid + "\r\n"));
    EXPECT_NE(std::string::npos, first.find(uid.substr(0, uid.size() - 7) + "-2@vobrik\r\n"));
    EXPECT_EQ(uid, "UID:" + AlarmUid(alarms.back()));
    for (TAlarm& alarm : alarms)
        alarm.Id += 7; // the table numbers its records anew at each start
    EXPECT_EQ(uid, "UID:" + AlarmUid(alarms[0]));
    alarms[0].Message[0] = 'K';
    EXPECT_NE(uid, "UID:" + AlarmUid(alarms[0]));
}

TEST_F(ICalendar, UnknownZoneWritesUtcAndTheZoneComesFromTz) {
    const std::string text = ExportICalendar(Reminders(), "Mars/Olympus", Now);
    EXPECT_EQ(std::string::npos, text.find("VTIMEZONE"));
    EXPECT_NE(std::string::npos, text.find("DTSTART:20270115T080000Z\r\n"));
    test::ScopedTz path(":/usr/share/zoneinfo/Asia/Tokyo");
    EXPECT_EQ("Asia/Tokyo", LocalZoneName());
}

} // namespace
} // namespace vobrik
