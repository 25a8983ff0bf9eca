#include "calendar/ICalendar.h"
#include "app/CalendarCommands.h"
#include "app/TableCommands.h"

#include "Fakes.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <cstring>
#include <memory>
#include <tuple>

namespace vobrik {
namespace {

using test::Local;

// Tuesday 1 December 2026, 12:00 in Paris.
constexpr int32_t Now = 1796122800;

// As calendar programs write it: CRLF line ends.
std::string Calendar(const std::string& body) {
    std::string crlf;
    for (const char c :
         "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//T//FR\n" + body + "END:VCALENDAR\n")
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

std::string Event(const std::string& lines, const std::string& kind = "VEVENT",
                  const std::string& summary = "Rendez-vous") {
    return "BEGIN:" + kind + "\nSUMMARY:" + summary + "\n" + lines + "END:" + kind + "\n";
}

const std::string PacificZone =
    "BEGIN:VTIMEZONE\nTZID:Pacific Standard Time\nBEGIN:STANDARD\nDTSTART:16010101T020000\n"
    "TZOFFSETFROM:-0700\nTZOFFSETTO:-0800\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\nEND:STANDARD\n"
    "BEGIN:DAYLIGHT\nDTSTART:16010101T020000\nTZOFFSETFROM:-0800\nTZOFFSETTO:-0700\n"
    "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\nEND:DAYLIGHT\nEND:VTIMEZONE\n";

struct TKept {
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
        {PacificZone + "BEGIN:VEVENT\nSUMMARY:R\xC3\n \xA9union d'\xC3\xA9quipe\n"
                       "DTSTART;TZID=Pacific Standard Time:20270615T143000\nEND:VEVENT\n",
         Local(2027, 6, 15, 23, 30), atOnce, 0, "R\xE9union d'\xE9quipe"},
        {Event("DTSTART:20270101T080000Z\n"), Local(2027, 1, 1, 9, 0), atOnce, 0},
        {Event("DTSTART:20270101T080000\n"), Local(2027, 1, 1, 8, 0), atOnce, 0},
        {Event("DTSTART;VALUE=DATE:20270214\n"), Local(2027, 2, 14, 9, 0), atOnce, 0},
        {Event("DESCRIPTION:\nLOCATION:\nDTSTART;TZID=America/New_York:20261102T090000\n"
               "RRULE:FREQ=WEEKLY;BYDAY=MO\n"),
         Local(2026, 12, 7, 15, 0), atEveryDays, 7},
        {Event("DTSTART;VALUE=DATE:20261130\nRRULE:FREQ=WEEKLY;INTERVAL=2\n"),
         Local(2026, 12, 14, 9, 0), atEveryDays, 14},
        {Event("DTSTART:20261201T100000\nRRULE:FREQ=DAILY;INTERVAL=3\n"), Local(2026, 12, 4, 10, 0),
         atEveryDays, 3},
        {Event("DTSTART:20260131T080000\nRRULE:FREQ=MONTHLY\n"), Local(2026, 12, 31, 8, 0),
         atMonthly, 0},
        {Event("DTSTART;VALUE=DATE:19800229\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29\n"),
         Local(2028, 2, 29, 9, 0), atYearly, 0},
        {Event("DTSTART:20261201T000000Z\nRRULE:FREQ=HOURLY;INTERVAL=12\n"),
         Local(2026, 12, 1, 13, 0), atEveryDays, 0},
        {Event("DUE:20270301T100000Z\n", "VTODO"), Local(2027, 3, 1, 11, 0), atOnce, 0},
        {"BEGIN:VEVENT\nDTSTART:20270101T080000\nDESCRIPTION:Ligne 1\\nLigne 2 \xCE\xB1 " +
             std::string(200, 'x') + "\nEND:VEVENT\n",
         Local(2027, 1, 1, 8, 0), atOnce, 0, "Ligne 1 Ligne 2 ? " + std::string(181, 'x')},
    };
    for (const TKept& c : cases) {
        SCOPED_TRACE(c.Body);
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
    const std::string rule = "r\xE9p\xE9tition que Vobrik ne sait pas suivre : FREQ=";
    const std::string since = "DTSTART:20260101T080000Z\nRRULE:FREQ=";
    const std::pair<std::string, std::string> cases[] = {
        {"DTSTART:20261130T100000Z\n", "date pass\xE9"
                                       "e : 30/11/2026 11:00"},
        {since + "DAILY;COUNT=5\n", rule + "DAILY;COUNT=5"},
        {since + "WEEKLY;BYDAY=MO,WE\n", rule + "WEEKLY;BYDAY=MO,WE"},
        {since + "MONTHLY;INTERVAL=2\n", rule + "MONTHLY;INTERVAL=2"},
        {since + "YEARLY;BYMONTHDAY=1\n", rule + "YEARLY;BYMONTHDAY=1"},
        {since + "DAILY\nEXDATE:20260102T080000Z\n",
         "r\xE9p\xE9tition avec des dates en plus ou en moins (RDATE, EXDATE)"},
        {since + "BOGUS\n", "propri\xE9t\xE9 illisible : RRULE"},
        {"DTSTART;TZID=Mars/Olympus:20270101T080000\n", "fuseau horaire inconnu : Mars/Olympus"},
        {"DTSTART:20270101T080000Z\nSTATUS:CANCELLED\n", "annul\xE9"},
        {"DTSTART:20270101T080000Z\nRECURRENCE-ID:20270101T080000Z\n",
         "occurrence modifi\xE9"
         "e d'une s\xE9rie (RECURRENCE-ID)"},
        {"DTSTART:20400101T080000Z\n", "date hors des ann\xE9"
                                       "es 1902 \xE0 2037"},
        {"LOCATION:nulle part\n", "pas de date (DTSTART ou DUE)"},
    };
    for (const auto& [lines, reason] : cases) {
        const TICalendarImport result = ImportICalendar(Calendar(Event(lines)), Now);
        EXPECT_TRUE(result.Alarms.empty()) << lines;
        ASSERT_EQ(1u, result.Skipped.size()) << lines;
        EXPECT_EQ("Rendez-vous", result.Skipped[0].Label);
        EXPECT_EQ(reason, result.Skipped[0].Reason);
    }
}

const std::string Unfinished = "Ce fichier iCalendar est incomplet : un bloc BEGIN n'a pas de END.";

TEST_F(ICalendar, DamagedTextIsRefusedWhole) {
    const std::string good = Calendar(Event("DTSTART:20270101T080000Z\n"));
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2), Unfinished},
        {good.substr(0, good.find("END:VCALENDAR")), Unfinished},
        {good + std::string("\0\x01\xFF", 3),
         "Ce fichier n'est pas un calendrier iCalendar : il contient des donn\xE9"
         "es binaires."},
        {"Ceci n'est pas un calendrier.\n",
         "Ce fichier ne contient aucun calendrier iCalendar (BEGIN:VCALENDAR)."},
        {Calendar(Event("\x89PNG garbage\n")),
         "Ce fichier iCalendar est endommag\xE9 : une ligne ne peut pas \xEAtre lue."},
    };
    for (const auto& [text, error] : cases) {
        const TICalendarImport result = ImportICalendar(text, Now);
        EXPECT_EQ(error + " Rien n'a \xE9t\xE9 import\xE9.", result.Error);
        EXPECT_TRUE(result.Alarms.empty() && result.Skipped.empty());
    }
}

std::vector<TAlarm> Reminders() {
    const std::pair<int, int32_t> kinds[] = {{atOnce, 0},      {atMonthly, 0},   {atYearly, 0},
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

struct TIcalDelete {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

TEST_F(ICalendar, ExportReadsBackThroughLibicalAndThroughImport) {
    const std::vector<TAlarm> alarms = Reminders();
    const std::string text = ExportICalendar(alarms, "Europe/Paris", Now);
    std::unique_ptr<icalcomponent, TIcalDelete> calendar(icalparser_parse_string(text.c_str()));
    ASSERT_TRUE(calendar);
    EXPECT_EQ(1, icalcomponent_count_components(calendar.get(), ICAL_VTIMEZONE_COMPONENT));
    const char* rules[] = {"",
                           "FREQ=MONTHLY",
                           "FREQ=YEARLY",
                           "FREQ=DAILY;INTERVAL=3",
                           "FREQ=HOURLY;INTERVAL=12",
                           "FREQ=HOURLY;INTERVAL=12"};
    icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
    for (size_t i = 0; i < alarms.size(); ++i) {
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
        const std::unique_ptr<char, decltype(&free)> shown(icalcomponent_as_ical_string_r(alarm),
                                                           free);
        EXPECT_NE(nullptr, std::strstr(shown.get(), "ACTION:DISPLAY\r\n"));
        EXPECT_NE(nullptr, std::strstr(shown.get(), "TRIGGER:PT0S\r\n"));
        event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT);
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
    alarms.back().Id = 7; // the table numbers its records anew at each start
    const std::string text = ExportICalendar(alarms, "Europe/Paris", Now);
    const std::string uid = AlarmUid(alarms[0]);
    EXPECT_EQ(uid, AlarmUid(alarms.back()));
    EXPECT_NE(std::string::npos, text.find("UID:" + uid + "\r\n"));
    EXPECT_NE(std::string::npos, text.find("UID:" + uid.substr(0, 16) + "-2@vobrik\r\n"));
    alarms[0].Message[0] = 'K';
    EXPECT_NE(uid, AlarmUid(alarms[0]));
}

TEST_F(ICalendar, UnknownZoneWritesUtcAndTheZoneComesFromTz) {
    const std::string text = ExportICalendar(Reminders(), "Mars/Olympus", Now);
    EXPECT_EQ(std::string::npos, text.find("VTIMEZONE"));
    EXPECT_NE(std::string::npos, text.find("DTSTART:20270115T080000Z\r\n"));
    test::ScopedTz path(":/usr/share/zoneinfo/Asia/Tokyo");
    EXPECT_EQ("Asia/Tokyo", LocalZoneName());
}

TReply Command(const std::vector<std::string>& args) {
    TRequest request;
    TReply reply;
    return ParseCommandLine(args, request, reply) ? RunInFolder(request, request.Dir) : reply;
}

TEST(CalendarCommands, ImportedFileIsSavedByteForByteAndExportComesBackTheSame) {
    test::ScopedTz zone("Europe/Paris");
    test::TempDir dir;
    test::WriteBytes(dir.Path("in.ics"), [] {
        const std::string text =
            Calendar(PacificZone + Event("DTSTART;TZID=Pacific Standard Time:20300615T143000\n") +
                     Event("DTSTART;VALUE=DATE:20300701\nRRULE:FREQ=WEEKLY;BYDAY=MO\n") +
                     Event("DUE:20300801T080000Z\n", "VTODO",
                           "T\xC3\n \xA2"
                           "che"));
        return std::vector<unsigned char>(text.begin(), text.end());
    }());
    const TReply imported = Command({"--import-ics", dir.Path("in.ics"), "--dir", dir.Path("a")});
    EXPECT_EQ("3 alarmes import\xC3\xA9"
              "es, 0 \xC3\xA9v\xC3\xA9nement ignor\xC3\xA9\n",
              imported.Out);
    std::vector<unsigned char> expected;
    const std::tuple<int32_t, const char*, int, int32_t> records[] = {
        {Local(2030, 6, 15, 23, 30), "Rendez-vous", atOnce, 0},
        {Local(2030, 7, 1, 9, 0), "Rendez-vous", atEveryDays, 7},
        {Local(2030, 8, 1, 10, 0),
         "T\xE2"
         "che",
         atOnce, 0}};
    for (const auto& [when, message, type, every] : records) {
        TAlarm alarm{when,
                     {},
                     static_cast<uint8_t>(type),
                     every,
                     static_cast<int32_t>(expected.size() / AlarmRecordSize + 1)};
        SetAlarmMessage(alarm, message);
        unsigned char image[AlarmRecordSize];
        EncodeAlarm(alarm, image);
        expected.insert(expected.end(), image, image + AlarmRecordSize);
    }
    EXPECT_EQ(expected, test::ReadBytes(dir.Path("a/ALARMS.VBK")));

    const TReply exported = Command({"--export-ics", "-", "--dir", dir.Path("a")});
    test::WriteBytes(dir.Path("out.ics"), {exported.Out.begin(), exported.Out.end()});
    EXPECT_EQ(0, Command({"--import-ics", dir.Path("out.ics"), "--dir", dir.Path("b")}).Code);
    EXPECT_EQ(expected, test::ReadBytes(dir.Path("b/ALARMS.VBK")));

    // A damaged file changes nothing.
    test::WriteBytes(dir.Path("cut.ics"), {exported.Out.begin(), exported.Out.end() - 20});
    const TReply refused = Command({"--import-ics", dir.Path("cut.ics"), "--dir", dir.Path("b")});
    EXPECT_EQ(ExitRefused, refused.Code);
    EXPECT_NE(std::string::npos, refused.Err.find("incomplet")) << refused.Err;
    EXPECT_EQ(expected, test::ReadBytes(dir.Path("b/ALARMS.VBK")));
}

TEST(CalendarCommands, RunningCopyReadsTheTerminalsFileAndKeepsTheLimit) {
    test::TempDir dir;
    test::FakeList list;
    test::FakeMessages messages;
    test::FakeClock clock;
    clock.Time = Now;
    TAlarmTable table(list, messages, clock, SystemFileOps(), dir.Path("ALARMS.VBK"));
    while (table.AlarmCount < TAlarmTable::MaxAlarms - 1)
        table.Append(TAlarm());
    const std::string text =
        Calendar(Event("DTSTART:20300101T080000Z\n") + Event("DTSTART:20300102T080000Z\n"));
    test::WriteBytes(dir.Path("in.ics"), {text.begin(), text.end()});
    const TReply reply = AnswerFromRunningCopy(table, dir.Root(), {"--import-ics", "in.ics"});
    EXPECT_EQ(ExitRefused, reply.Code);
    EXPECT_EQ("1 alarme import\xC3\xA9"
              "e, 0 \xC3\xA9v\xC3\xA9nement ignor\xC3\xA9\n",
              reply.Out);
    EXPECT_EQ("vobrik : 1 alarme laiss\xC3\xA9"
              "e de c\xC3\xB4t\xC3\xA9 : Vobrik ne garde que 100 alarmes.\n",
              reply.Err);
    EXPECT_EQ(TAlarmTable::MaxAlarms, table.AlarmCount);
    EXPECT_EQ(size_t{100} * AlarmRecordSize, test::ReadBytes(dir.Path("ALARMS.VBK")).size());
}

} // namespace
} // namespace vobrik
