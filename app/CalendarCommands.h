#pragma once

// The command line's calendar files: the table's reminders written out as
// iCalendar, and the events and tasks of one added to the table.

#include "app/CommandLine.h"
#include "core/AlarmTable.h"

#include <string>

namespace vobrik {

// Makes --export-ics and --import-ics table commands.
void UseCalendarCommands();

// Writes every reminder to `path`, or to the reply's output for "-".
TReply ExportCalendarFile(TAlarmTable& table, const std::string& path);

// Adds the file's reminders to the table while it has room, saves, and says
// how many came in, which were left out and why.
TReply ImportCalendarFile(TAlarmTable& table, const std::string& path);

// Copies the terminal's standard input into a private file of its own, for
// "--import-ics -" to be read by the running copy as any other file. The
// caller removes it.
bool StandardInputToFile(std::string& path);

} // namespace vobrik
