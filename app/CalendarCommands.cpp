#include "app/CalendarCommands.h"

#include "app/TableCommands.h"
#include "calendar/ICalendar.h"
#include "core/CheckPass.h"
#include "core/FileOps.h"
#include "platform/Text1252.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <unistd.h>
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

namespace {

// The reminders already in the table, counted by content, so that a calendar
// imported again adds nothing twice. A recurring one that is overdue (Vobrik
// was not running) counts where it will ring next, as the import places it.
std::map<uint64_t, int> Present(const TAlarmTable& table, int32_t now) {
    std::map<uint64_t, int> present;
    for (int i = 0; i < table.AlarmCount; ++i) {
        TAlarm alarm = *table.Alarms[i];
        // Past now, as the import places its own; a yearly one steps a year a call.
        for (int step = 0; alarm.Type != atOnce && alarm.When <= now && step < 1000; ++step)
            MoveToNextRing(alarm, now < INT32_MAX ? now + 1 : now);
        ++present[ContentHash(alarm)];
    }
    return present;
}

std::string Line(const std::string& label, const std::string& text) {
    return "  " + Quoted(Utf8FromWindows1252(label)) + " : " + text + "\n";
}

} // namespace

TReply ImportCalendarFile(TAlarmTable& table, const std::string& path) {
    std::vector<unsigned char> bytes;
    if (ReadWholeFile(SystemFileOps(), path, bytes) != TReadResult::Read)
        return Refusal(ExitRefused, "impossible de lire " + path);
    const TICalendarImport result =
        ImportICalendar(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                        table.Clock().Now());
    if (!result.Error.empty())
        return Refusal(ExitRefused, path + " : " + Utf8FromWindows1252(result.Error));

    std::map<uint64_t, int> present = Present(table, table.Clock().Now());
    size_t added = 0, already = 0, leftOut = 0;
    std::string lines;
    for (size_t i = 0; i < result.Alarms.size(); ++i) {
        const TAlarm& alarm = result.Alarms[i];
        if (int& same = present[ContentHash(alarm)]; same > 0) {
            --same;
            ++already;
            lines += Line(alarm.Message, "d\xC3\xA9j\xC3\xA0 pr\xC3\xA9sente");
        } else if (table.Append(alarm) == nullptr) {
            ++leftOut;
        } else {
            ++added;
            if (!result.Notes[i].empty())
                lines += Line(alarm.Message, "import\xC3\xA9" "e, mais " +
                                                 Utf8FromWindows1252(result.Notes[i]));
        }
    }
    if (added > 0) {
        table.RefreshAlarmList();
        if (!table.SaveAlarms())
            return Refusal(ExitRefused, "impossible d'enregistrer " + table.FileName());
    }
    for (const TSkippedEvent& skipped : result.Skipped)
        lines += Line(skipped.Label, Utf8FromWindows1252(skipped.Reason));
    TReply reply;
    reply.Out = Count(added, "alarme", "import\xC3\xA9" "e") +
                (already > 0 ? ", " + Count(already, "alarme", "d\xC3\xA9j\xC3\xA0 pr\xC3\xA9sente")
                             : std::string()) +
                ", " + Count(result.Skipped.size(), "\xC3\xA9v\xC3\xA9nement", "ignor\xC3\xA9") +
                (lines.empty() ? "\n" : " :\n") + lines;
    if (leftOut > 0) {
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

bool StandardInputToFile(std::string& path) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && *folder == '/' ? folder : "/tmp") +
                       "/vobrik-entree-XXXXXX";
    const int fd = ::mkstemp(name.data()); // 0600: read by this user's copy only
    if (fd < 0)
        return false;
    char buffer[65536];
    bool whole = true;
    for (ssize_t n; (n = ::read(STDIN_FILENO, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || ::write(fd, buffer, static_cast<size_t>(n)) != n) {
            whole = false;
            break;
        }
    }
    if (::close(fd) != 0 || !whole) {
        ::unlink(name.c_str());
        return false;
    }
    path = name;
    return true;
}

void UseCalendarCommands() {
    SetCalendarCommands(ExportIcs, ImportIcs);
}

} // namespace vobrik
