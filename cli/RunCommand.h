#pragma once

// Where a command of the terminal runs: in the running copy's table, reached
// through its socket, or in a folder while no copy runs. Both go through the
// table's own operations and the handlers of the table of commands.

#include "cli/Command.h"

#include <functional>
#include <string>
#include <vector>

namespace vobrik {

// A path read from the terminal's directory, made plain.
std::string Absolute(const std::string& path, const std::string& cwd);

// The running copy's side: the arguments sent by a terminal whose current
// directory was `cwd`, applied to the reminder file `fileName` of this
// process's current directory, whose guard the copy holds. The copy's table
// is left as it is, to take the file again: a command refused is a command
// that changed nothing, and one whose terminal gave up (`stillWanted`) is not
// written.
TReply AnswerFromRunningCopy(const std::string& fileName, const std::string& cwd,
                             const std::vector<std::string>& args,
                             const std::function<bool()>& stillWanted = nullptr);

// The running copy's answer to an encoded request.
std::string AnswerCommandRequest(const std::string& fileName, const std::string& payload,
                                 const std::function<bool()>& stillWanted);

// The folder a request works on while no copy runs: --dir, read from `cwd`,
// or the data folder of the desktop's launcher.
std::string RequestFolder(const TRequest& request, const std::string& cwd);

// Loads the folder's reminder file, applies the request and saves. The caller
// holds the folder's guard.
TReply RunInFolder(const TRequest& request, const std::string& folder, const std::string& cwd);

// What the program does with a command from the terminal: through the
// running copy when one answers, else on the folder under its guard.
TReply RunFromTerminal(const TRequest& request, const std::vector<std::string>& args);

} // namespace vobrik
