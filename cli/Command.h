#pragma once

// What a command of the terminal is: its option, the options it accepts, its
// help line, whether it writes, and its handler. Each command is defined in a
// file of its own and named once, in the table of cli/Commands.cpp; --help,
// the parser, the window program's socket and the terminal all read that
// table. Texts are UTF-8.

#include "cli/CommandDates.h"
#include "core/AlarmTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vobrik {

constexpr int ExitDone = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;
constexpr int ExitTimeout = 3; // nothing was done

struct TCommand;

// What the command line asks for.
struct TRequest {
    const TCommand* Command = nullptr; // null: the window program, --help or --version
    bool Help = false;
    bool Version = false;
    bool Hide = false;
    bool Tsv = false;
    bool Json = false;
    std::string Message; // Windows-1252, at most 199 characters
    TTypedDate Date;
    uint8_t Type = 1; // atOnce
    int32_t EveryDays = 0;
    std::string Key; // the reminder --delete names, as --list shows it
    std::string Dir;
    std::string File; // the calendar file of --export-ics and --import-ics
    int Timeout = 30; // seconds a command waits for a running copy or the folder
};

struct TReply {
    int Code = ExitDone;
    std::string Out;
    std::string Err;
};

// Where a command works: the loaded table, the reminder file it shows (named
// by --list), and the current directory of the terminal that asked, against
// which any path the command names is read.
struct TCommandContext {
    TAlarmTable& Table;
    std::string File;
    std::string Cwd;
};

// Reads an option's value into the request: empty when it makes sense, else
// why not.
using TApply = std::string (*)(TRequest& request, const std::string& value);
using TCommandRun = TReply (*)(TCommandContext& context, const TRequest& request);

// An option that changes how a command works.
struct TOption {
    const char* Long;
    const char* Value; // the value's name in the help, null for an option without one
    const char* Group; // options of one group exclude each other; null: its own group
    TApply Apply;
    const char* Help;
};

struct TCommand {
    const char* Long;  // the option that names the command, without its dashes
    const char* Value; // its value's name, or null
    TApply Apply;      // reads that value
    const char* Help;
    std::vector<const TOption*> Options; // what it accepts, in the order the help shows
    const char* Required;                // the group of options it needs, or null
    bool Writes;                         // changes the folder, which is then created
    // A command whose libraries this program leaves out (libical for the
    // calendar files) has no Run here and is handed to that program.
    const char* Program;
    TCommandRun Run;
};

// Options more than one command takes.
extern const TOption DirOption;
extern const TOption JsonOption;
extern const TOption TimeoutOption;

// Every command, in the order the help shows them.
const std::vector<const TCommand*>& Commands();

} // namespace vobrik
