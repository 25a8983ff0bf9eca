#include "app/CalendarCommands.h"

#include "app/TableCommands.h"
#include "calendar/ICalendar.h"
#include "core/FileOps.h"
#include "platform/Text1252.h"

#include <cerrno>
#include <vector>

namespace vobrik {

namespace {

// UTF-8 texts.
std::string Count(size_t n, const char* noun, const char* done) {
    return std::to_string(n) + " " + noun + (n > 1 ? "s " : " ") + done + (n > 1 ? "s" : "");
}

std::string Quoted(const std::string& text) {
    return "\xC2\xAB " + text + " \xC2\xBB";
}

} // namespace

TReply ExportCalendarFile(TAlarmTable& table, const std::string& path) {
    std::vector<TAlarm> alarms;
    for (int i = 0; i < table.AlarmCount; ++i)
        alarms.push_back(*table.Alarms[i]);
    const std::string text = ExportICalendar(alarms, LocalZoneName(), table.Clock().Now());
    if (path == "-")
        return {ExitDone, text, ""};
    // An export is a file the user asked for: it follows the umask.
    if (!SaveFileAtomically(SystemFileOps(), path, text.data(), text.size(), 0))
        return Refusal(ExitRefused, "impossible d'\xC3\xA9"
                                    "crire " +
                                        path + " : " + FrenchError(errno));
    return {ExitDone,
            Count(alarms.size(), "alarme",
                  "export\xC3\xA9"
                  "e") +
                " dans " + path + "\n",
            ""};
}

TReply ImportCalendarFile(TAlarmTable& table, const std::string& path) {
    std::vector<unsigned char> bytes;
    if (ReadWholeFile(SystemFileOps(), path, bytes) != TReadResult::Read)
        return Refusal(ExitRefused, "impossible de lire " + path);
    const TICalendarImport result =
        ImportICalendar(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        table.Clock().Now());
    if (!result.Error.empty())
        return Refusal(ExitRefused, path + " : " + Utf8FromWindows1252(result.Error));

    size_t added = 0;
    for (const TAlarm& alarm : result.Alarms)
        added += table.Append(alarm) != nullptr ? 1 : 0;
    if (added > 0) {
        table.RefreshAlarmList();
        if (!table.SaveAlarms())
            return Refusal(ExitRefused, "impossible d'enregistrer " + table.FileName());
    }
    TReply reply;
    reply.Out = Count(added, "alarme",
                      "import\xC3\xA9"
                      "e") +
                ", " + Count(result.Skipped.size(), "\xC3\xA9v\xC3\xA9nement", "ignor\xC3\xA9") +
                (result.Skipped.empty() ? "\n" : " :\n");
    for (const TSkippedEvent& skipped : result.Skipped)
        reply.Out += "  " + Quoted(Utf8FromWindows1252(skipped.Label)) + " : " +
                     Utf8FromWindows1252(skipped.Reason) + "\n";
    if (const size_t leftOut = result.Alarms.size() - added; leftOut > 0) {
        // 1 says that nothing changed: a partial import is done, and said.
        reply.Code = added > 0 ? ExitDone : ExitRefused;
        reply.Err = "vobrik : " +
                    Count(leftOut, "alarme",
                          "laiss\xC3\xA9"
                          "e") +
                    " de c\xC3\xB4t\xC3\xA9 : Vobrik ne garde que " +
                    std::to_string(TAlarmTable::MaxAlarms) + " alarmes.\n";
    }
    return reply;
}

namespace {

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

} // namespace

void UseCalendarCommands() {
    SetCalendarCommands(ExportIcs, ImportIcs);
}

} // namespace vobrik
