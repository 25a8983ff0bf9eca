// --export-ics and --import-ics: the table's reminders written out as
// iCalendar, and the events and tasks of a calendar added to it. They need
// libical, and with it ICU, which would weigh on every other command: the
// terminal program is built without their handlers (VOBRIK_WITHOUT_CALENDAR)
// and hands them to vobrik-ics, built with them, as the window program is.

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/RunCommand.h"

#ifdef VOBRIK_WITHOUT_CALENDAR
#define CalendarRun(handler) nullptr
#else
#define CalendarRun(handler) handler
#include "calendar/ICalendar.h"
#include "core/CheckPass.h"
#include "core/FileOps.h"
#include "platform/Text1252.h"
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <unistd.h>
#include <vector>

namespace vobrik {

namespace {

#ifndef VOBRIK_WITHOUT_CALENDAR

std::string Count(size_t n, const char* noun, const char* done) {
    return std::to_string(n) + " " + noun + (n > 1 ? "s " : " ") + done + (n > 1 ? "s" : "");
}

TReply ExportCalendarFile(TAlarmTable& table, const std::string& path) {
    std::vector<TAlarm> alarms;
    for (int i = 0; i < table.AlarmCount; ++i)
        alarms.push_back(*table.Alarms[i]);
    const std::string text = ExportICalendar(alarms, LocalZoneName(), table.Clock().Now());
    if (path == "-")
        return {ExitDone, text, ""};
    // An export is a file the user asked for: it follows the umask.
    if (!SaveFileAtomically(SystemFileOps(), path, text.data(), text.size(), 0))
        return Refusal(ExitRefused, "impossible d'écrire " + path + " : " + FrenchError(errno));
    return {ExitDone, Count(alarms.size(), "alarme", "exportée") + " dans " + path + "\n", ""};
}

// Past now, as the import places its own; a yearly one steps a year a call.
TAlarm SteppedPast(TAlarm alarm, int32_t now) {
    for (int step = 0; alarm.Type != atOnce && alarm.When <= now && step < 1000; ++step)
        MoveToNextRing(alarm, now < INT32_MAX ? now + 1 : now);
    return alarm;
}

// The reminders already in the table, counted by content, so that a calendar
// imported again adds nothing twice. A recurring one that is overdue (Vobrik
// was not running) counts where it will ring next, as the import places it.
std::map<uint64_t, int> Present(const TAlarmTable& table, int32_t now) {
    std::map<uint64_t, int> present;
    for (int i = 0; i < table.AlarmCount; ++i)
        ++present[ContentHash(SteppedPast(*table.Alarms[i], now))];
    return present;
}

// The count of the reminder the table holds for an imported one: the same, or
// the same series stepped by Vobrik from an earlier occurrence, where it has
// parted from the calendar's.
int& Same(std::map<uint64_t, int>& present, const TAlarm& alarm,
          const std::vector<int32_t>& earlier, int32_t now) {
    int& same = present[ContentHash(alarm)];
    for (size_t k = 0; same == 0 && k < earlier.size(); ++k) {
        TAlarm from = alarm;
        from.When = earlier[k];
        if (int& stepped = present[ContentHash(SteppedPast(from, now))]; stepped > 0)
            return stepped;
    }
    return same;
}

std::string Line(const std::string& label, const std::string& text) {
    return "  " + Quoted(Utf8FromWindows1252(label)) + " : " + text + "\n";
}

TReply ImportCalendarFile(TAlarmTable& table, const std::string& path) {
    std::vector<unsigned char> bytes;
    if (ReadWholeFile(SystemFileOps(), path, bytes) != TReadResult::Read)
        return Refusal(ExitRefused, "impossible de lire " + path);
    const TICalendarImport result =
        ImportICalendar(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        table.Clock().Now());
    if (!result.Error.empty())
        return Refusal(ExitRefused, path + " : " + result.Error);

    std::map<uint64_t, int> present = Present(table, table.Clock().Now());
    size_t added = 0, already = 0, leftOut = 0;
    std::string lines;
    for (size_t i = 0; i < result.Alarms.size(); ++i) {
        const TAlarm& alarm = result.Alarms[i];
        if (int& same = Same(present, alarm, result.Earlier[i], table.Clock().Now()); same > 0) {
            --same;
            ++already;
            lines += Line(alarm.Message, "déjà présente");
        } else if (table.Append(alarm) == nullptr) {
            ++leftOut;
        } else {
            ++added;
            if (!result.Notes[i].empty())
                lines += Line(alarm.Message, "importée, mais " + result.Notes[i]);
        }
    }
    if (added > 0) {
        table.RefreshAlarmList();
        if (!table.SaveAlarms())
            return NotSaved(table);
    }
    for (const TSkippedEvent& skipped : result.Skipped)
        lines += Line(skipped.Label, skipped.Reason);
    TReply reply;
    reply.Out = Count(added, "alarme", "importée") +
                (already > 0 ? ", " + Count(already, "alarme", "déjà présente") : std::string()) +
                ", " + Count(result.Skipped.size(), "événement", "ignoré") +
                (lines.empty() ? "\n" : " :\n") + lines;
    if (leftOut > 0) {
        // 1 says that nothing changed: a partial import is done, and said.
        reply.Code = added > 0 ? ExitDone : ExitRefused;
        reply.Err = "vobrik : " + Count(leftOut, "alarme", "laissée") +
                    " de côté : Vobrik ne garde que " + std::to_string(TAlarmTable::MaxAlarms) +
                    " alarmes.\n";
    }
    return reply;
}

// A calendar file is named from the terminal's directory; "-" is the terminal.
std::string CalendarPath(const TCommandContext& context, const TRequest& request) {
    return request.File == "-" ? request.File : Absolute(request.File, context.Cwd);
}

TReply ExportIcs(TCommandContext& context, const TRequest& request) {
    return ExportCalendarFile(context.Table, CalendarPath(context, request));
}

TReply ImportIcs(TCommandContext& context, const TRequest& request) {
    return ImportCalendarFile(context.Table, CalendarPath(context, request));
}

#endif // VOBRIK_WITHOUT_CALENDAR

std::string SetFile(TRequest& request, const std::string& value) {
    request.File = value;
    return value.empty() ? "un fichier de calendrier est attendu" : std::string();
}

} // namespace

extern const TCommand ExportIcsCommand = {
    "export-ics",
    "FICHIER",
    SetFile,
    "écrit toutes les alarmes dans un calendrier iCalendar (« - » : sortie standard)",
    {&DirOption, &TimeoutOption},
    nullptr,
    false,
    "vobrik-ics",
    CalendarRun(ExportIcs)};

extern const TCommand ImportIcsCommand = {
    "import-ics",
    "FICHIER",
    SetFile,
    "ajoute les événements et tâches d'un calendrier iCalendar (« - » : entrée standard)",
    {&DirOption, &TimeoutOption},
    nullptr,
    true,
    "vobrik-ics",
    CalendarRun(ImportIcs)};

} // namespace vobrik
