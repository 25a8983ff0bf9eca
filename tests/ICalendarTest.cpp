#include "calendar/ICalendar.h"
#include "cli/RunCommand.h"
#include "platform/Text1252.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <libical/ical.h>

#include <memory>
#include <tuple>

namespace vobrik {
namespace {

using test::ShowLocal;

// Tuesday 1 December 2026, 12:00 in Paris.
constexpr int32_t Now = 1796122800;

// As calendar programs write it: CRLF line ends.
std::string Calendar(const std::string& body) {
    std::string crlf;
    for (const char c : "BEGIN:VCALENDAR\nVERSION:2.0\n" + body + "END:VCALENDAR\n")
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

std::string Event(const std::string& lines, const std::string& kind = "VEVENT",
                  const std::string& summary = "Rendez-vous") {
    return "BEGIN:" + kind + "\nSUMMARY:" + summary + "\n" + lines + "\nEND:" + kind + "\n";
}

const std::string Pacific =
    "BEGIN:VTIMEZONE\nTZID:Pacific Standard Time\nBEGIN:STANDARD\nDTSTART:16010101T020000\n"
    "TZOFFSETFROM:-0700\nTZOFFSETTO:-0800\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\nEND:STANDARD\n"
    "BEGIN:DAYLIGHT\nDTSTART:16010101T020000\nTZOFFSETFROM:-0800\nTZOFFSETTO:-0700\n"
    "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\nEND:DAYLIGHT\nEND:VTIMEZONE\n";

class ICalendar : public ::testing::Test {
  protected:
    test::ScopedTz Zone{"Europe/Paris"};
};

struct TKept {
    std::string Lines;
    const char* When;
    int Type;
    int32_t EveryDays;
    std::string Message = "Rendez-vous", Summary = Message, Kind = "VEVENT", Zone = "";
};

TEST_F(ICalendar, EachShapeBecomesItsReminder) {
    const std::string x200(200, 'x');
    const TKept cases[] = {
        {"DTSTART;TZID=Pacific Standard Time:20270615T143000", "2027-06-15 23:30", atOnce, 0,
         "Réunion d'équipe", "R\xC3\n \xA9union d'équipe", "VEVENT", Pacific},
        {"DTSTART;VALUE=DATE:20270214", "2027-02-14 09:00", atOnce, 0},
        {"DTSTART;VALUE=DATE:20261130\nRRULE:FREQ=WEEKLY;INTERVAL=2", "2026-12-14 09:00",
         atEveryDays, 14},
        {"DTSTART:20260131T080000\nRRULE:FREQ=MONTHLY", "2026-12-31 08:00", atMonthly, 0},
        {"DTSTART;VALUE=DATE:19800229\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29",
         "2028-02-29 09:00", atYearly, 0},
        {"DUE:20270301T100000Z", "2027-03-01 11:00", atOnce, 0, "Rendez-vous", "Rendez-\n\tvous",
         "VTODO"},
        {"DTSTART:20261101T100000Z\nDUE:20270302T100000Z", "2027-03-02 11:00", atOnce, 0,
         "Rendez-vous", "Rendez-vous", "VTODO"}, // a task begun rings when due
        {"DTSTART:20270101T080000\nDESCRIPTION:Ligne 1\\nLigne 2 α " + x200, "2027-01-01 08:00",
         atOnce, 0, "Ligne 1 Ligne 2 ? " + x200.substr(19), ""},
    };
    for (const TKept& c : cases) {
        const std::string text = Calendar(c.Zone + Event(c.Lines, c.Kind, c.Summary));
        const TICalendarImport result = ImportICalendar(text, Now);
        ASSERT_EQ(1u, result.Alarms.size()) << c.Lines;
        const TAlarm& a = result.Alarms[0];
        EXPECT_EQ(std::make_tuple(std::string(c.When), c.Type, c.EveryDays, c.Message),
                  std::make_tuple(ShowLocal(a.When).substr(0, 16), int{a.Type}, a.EveryDays,
                                  Utf8FromWindows1252(a.Message)));
    }
}

TEST_F(ICalendar, WhatTheProgramCannotFollowIsListedWithItsReason) {
    const std::string since = "DTSTART:20260101T080000Z\nRRULE:FREQ=";
    const std::pair<std::string, std::string> cases[] = {
        {"DTSTART:20261130T100000Z", "date passée : 30/11/2026 11:00"},
        {since + "DAILY;COUNT=5", "série limitée à 5 fois"},
        {since + "WEEKLY;UNTIL=20270630T215959Z;BYDAY=TH", "série limitée au 30/06/2027"},
        {since + "MONTHLY;BYDAY=2TU", "répétition le 2e mardi du mois"},
        {since + "WEEKLY;BYDAY=MO,WE,-1FR", "répétition le lundi, le mercredi et le dernier "
                                            "vendredi de la semaine"},
        {since + "YEARLY;BYMONTHDAY=1", "répétition à certains jours du mois"},
        {since + "HOURLY;INTERVAL=3", "répétition toutes les 3 heures"},
        {since + "MONTHLY;INTERVAL=2", "répétition tous les 2 mois"},
        {since + "DAILY\nRDATE:20270102T080000Z", "dates ajoutées à la série"},
        {since + "BOGUS", "propriété illisible : RRULE"},
        {"DTSTART;TZID=Mars/Olympus:20270101T080000", "fuseau horaire inconnu : Mars/Olympus"},
        {"DTSTART:20270101T080000Z\nSTATUS:CANCELLED", "annulé"},
        {"DTSTART:20270101T080000Z\nPERCENT-COMPLETE:100", "tâche terminée"},
        {"DTSTART:20400101T080000Z", "date hors des années 1902 à 2037"},
        {"LOCATION:nulle part", "pas de date (DTSTART ou DUE)"},
        {"DTSTART:20270101T080000Z\nDESCRIPTION:une\ndeux", "ligne illisible (ligne 7)"},
    };
    for (const auto& [lines, reason] : cases) {
        const TICalendarImport result = ImportICalendar(Calendar(Event(lines)), Now);
        ASSERT_EQ(1u, result.Skipped.size()) << lines;
        EXPECT_TRUE(result.Alarms.empty());
        EXPECT_EQ("Rendez-vous", result.Skipped[0].Label);
        EXPECT_EQ(reason, result.Skipped[0].Reason);
    }
}

TEST_F(ICalendar, DamagedTextIsRefusedWholeNamingTheLine) {
    const std::string good = Calendar(Event("DTSTART:20270101T080000Z"));
    const std::string damaged = "Ce fichier iCalendar est endommagé : ";
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2),
         "Ce fichier iCalendar est incomplet : le bloc BEGIN:VEVENT de la ligne 3 n'a pas de END."},
        {good.substr(0, good.find("END:VEVENT")) + "END:VCALENDAR\r\n",
         damaged + "END:VCALENDAR ferme le bloc BEGIN:VEVENT ouvert ligne 3 (ligne 6)."},
        {"END:VEVENT\r\n" + good, damaged + "END:VEVENT sans BEGIN (ligne 1)."},
        {good + std::string("\0\x01\xFF", 3),
         "Ce fichier n'est pas un calendrier iCalendar : il contient des données binaires "
         "(ligne 8)."},
        {"Un texte.\n", "Ce fichier ne contient aucun calendrier iCalendar (BEGIN:VCALENDAR)."},
    };
    for (const auto& [text, error] : cases) {
        const TICalendarImport result = ImportICalendar(text, Now);
        EXPECT_EQ(error + " Rien n'a été importé.", result.Error);
        EXPECT_TRUE(result.Alarms.empty() && result.Skipped.empty());
    }
}

// 02:30 the second time on 31 October 2027 in Paris, which a local reading
// cannot tell from the first.
constexpr int32_t SecondOf0230 = 1824946200;

std::vector<TAlarm> Reminders() {
    const uint8_t types[] = {atOnce, atMonthly, atYearly, atEveryDays, atEveryDays, atEveryDays};
    const int32_t every[] = {0, 0, 0, 3, 0, -4};
    std::vector<TAlarm> alarms;
    for (int i = 0; i < 6; ++i) {
        alarms.push_back(
            {i == 3 ? SecondOf0230 : test::Local(2027, 1, 15, 9, i), {}, types[i], every[i], 0});
        SetAlarmMessage(alarms.back(), Windows1252FromUtf8("Café, crème; 5 € \\ fin").c_str());
    }
    return alarms;
}

TEST_F(ICalendar, ExportReadsBackThroughLibical) {
    const std::vector<TAlarm> alarms = Reminders();
    const std::string text = ExportICalendar(alarms, "Europe/Paris", Now);
    const std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> calendar(
        icalparser_parse_string(text.c_str()), icalcomponent_free);
    ASSERT_TRUE(calendar);
    EXPECT_EQ(1, icalcomponent_count_components(calendar.get(), ICAL_VTIMEZONE_COMPONENT));
    std::string rules;
    icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
    for (const TAlarm& alarm : alarms) {
        ASSERT_NE(nullptr, event);
        EXPECT_STREQ("Café, crème; 5 € \\ fin", icalcomponent_get_summary(event));
        const icaltimetype start = icalcomponent_get_dtstart(event);
        // Exact hours for every half day, and for the second 02:30 of a night.
        const bool exact =
            (alarm.EveryDays <= 0 && alarm.Type == atEveryDays) || alarm.When == SecondOf0230;
        EXPECT_STREQ(exact ? "UTC" : "Europe/Paris", icaltime_get_tzid(start));
        EXPECT_EQ(alarm.When, icaltime_as_timet_with_zone(start, start.zone));
        icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        rules += std::string("|") + (rule ? icalproperty_get_value_as_string(rule) : "");
        const std::string ring = icalcomponent_as_ical_string(
            icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT));
        EXPECT_NE(std::string::npos, ring.find("ACTION:DISPLAY\r\nDESCRIPTION:Caf"));
        EXPECT_NE(std::string::npos, ring.find("TRIGGER:PT0S\r\n"));
        event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT);
    }
    EXPECT_EQ(
        "||FREQ=MONTHLY|FREQ=YEARLY|FREQ=DAILY;INTERVAL=3|FREQ=HOURLY;INTERVAL=12|FREQ=HOURLY;"
        "INTERVAL=12",
        rules);
}

TEST_F(ICalendar, UidStaysWhileUnchangedAndAnUnknownZoneWritesLocalTimes) {
    std::vector<TAlarm> alarms = Reminders();
    alarms.push_back(alarms[0]);
    alarms.back().Id = 7; // the table numbers its records anew at each start
    const std::string text = ExportICalendar(alarms, "Mars/Olympus", Now);
    const std::string uid = AlarmUid(alarms[0]);
    EXPECT_EQ(uid, AlarmUid(alarms.back()));
    EXPECT_NE(std::string::npos, text.find("UID:" + uid + "\r\n"));
    EXPECT_NE(std::string::npos, text.find("UID:" + uid.substr(0, 16) + "-2@vobrik\r\n"));
    alarms[0].Message[0] = 'K';
    EXPECT_NE(uid, AlarmUid(alarms[0]));
    EXPECT_EQ(std::string::npos, text.find("VTIMEZONE"));
    EXPECT_NE(std::string::npos, text.find("DTSTART:20270115T090000\r\nCOMMENT:Heure locale"));
    alarms[1].When = test::Local(2027, 1, 31, 9, 0); // monthly: the program's own step
    EXPECT_NE(std::string::npos, ExportICalendar(alarms, "", Now).find("COMMENT:Vobrik reporte"));
    test::ScopedTz path(":/usr/share/zoneinfo/posix/Asia/Tokyo");
    EXPECT_EQ("Asia/Tokyo", LocalZoneName());
}

void Write(const std::string& path, const std::string& text) {
    test::WriteBytes(path, {text.begin(), text.end()});
}

TEST(CalendarCommands, RunningCopyReadsTheTerminalsFileAndKeepsTheLimit) {
    test::TempDir dir;
    test::FakeList list;
    test::FakeMessages messages;
    test::FakeClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), dir.Path("ALARMS.VBK"));
    // One of the two identical events is there already; the other comes in.
    const std::string twin = Event("DTSTART:20300101T080000Z");
    while (table.AlarmCount < TAlarmTable::MaxAlarms - 2)
        table.Append(TAlarm());
    table.Append(ImportICalendar(Calendar(twin), 0).Alarms.at(0));
    ASSERT_TRUE(table.SaveAlarms());
    Write(dir.Path("in.ics"), Calendar(twin + twin + Event("DTSTART:20300102T080000Z")));
    const TReply reply =
        AnswerFromRunningCopy(table.FileName(), dir.Root(), {"--import-ics", "in.ics"});
    EXPECT_EQ(ExitDone, reply.Code);
    EXPECT_EQ("1 alarme importée, 1 alarme déjà présente, 0 événement ignoré :\n"
              "  « Rendez-vous » : déjà présente\n",
              reply.Out);
    EXPECT_EQ("vobrik : 1 alarme laissée de côté : Vobrik ne garde que 100 alarmes.\n", reply.Err);
    EXPECT_EQ(size_t{100} * AlarmRecordSize, test::ReadBytes(dir.Path("ALARMS.VBK")).size());
    const TReply add = AnswerFromRunningCopy(table.FileName(), dir.Root(),
                                             {"--add", "m", "--at", "2027-01-05 10:00"});
    EXPECT_EQ(ExitRefused, add.Code);
    EXPECT_NE(std::string::npos, add.Err.find("plus de 100 alarmes")) << add.Err;
    EXPECT_TRUE(messages.Log.empty());
}

} // namespace
} // namespace vobrik
