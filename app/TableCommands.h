#pragma once

// The commands of the command line that work on the reminders, wherever the
// reminders are: in the running copy's table, or in a folder while no copy
// runs. Both go through the table's own operations.

#include "app/CommandLine.h"
#include "core/AlarmTable.h"

#include <string>
#include <vector>

namespace vobrik {

// Where a command works: the loaded table, the reminder file it shows (named
// by --list), and the current directory of the terminal that asked, against
// which any path the command names is read.
struct TCommandContext {
    TAlarmTable& Table;
    std::string File;
    std::string Cwd;
};

using TCommandRun = TReply (*)(TCommandContext& context, const TRequest& request);

// The calendar commands come from a library of their own (on libical), which
// the terminal program leaves out: it hands them to vobrik-ics.
void SetCalendarCommands(TCommandRun exportIcs, TCommandRun importIcs);

// A path read from the terminal's directory, made plain.
std::string Absolute(const std::string& path, const std::string& cwd);

// Applies a table command, as the main dialog's buttons would: the table is
// saved and shown again. Messages the table would show in a box go to the
// reply.
TReply RunTableCommand(TCommandContext& context, const TRequest& request);

// The running copy's side: the arguments sent by a terminal whose current
// directory was `cwd`, applied to the table kept in this process's current
// directory.
TReply AnswerFromRunningCopy(TAlarmTable& table, const std::string& cwd,
                             const std::vector<std::string>& args);

// The running copy's answer to an encoded request. A busy copy refuses it:
// one that has a modal window open, or has not read its reminders yet.
std::string AnswerCommandRequest(TAlarmTable& table, const std::string& payload, bool busy);

// The folder a request works on while no copy runs: --dir, read from `cwd`,
// or the data folder of the desktop's launcher.
std::string RequestFolder(const TRequest& request, const std::string& cwd);

// Loads the folder's reminder file, applies the request and saves. The caller
// holds the program's lock.
TReply RunInFolder(const TRequest& request, const std::string& folder, const std::string& cwd);

// What the program does with a table command from the terminal: through the
// running copy when one answers, else on the folder under the lock.
TReply RunFromTerminal(const TRequest& request, const std::vector<std::string>& args);

} // namespace vobrik
