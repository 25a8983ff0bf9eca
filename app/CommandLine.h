#pragma once

// The program's command line: what it asks for, read from a table of options,
// and the answer it gets, ready for the terminal. Texts here are UTF-8 unless
// said otherwise.

#include "app/CommandDates.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vobrik {

constexpr int ExitDone = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

// Window starts (or brings forward) the window program; Help and Version are
// answered on the spot; the others work on the reminders.
enum class TAction { Window, Help, Version, List, Next, Add, Delete, ExportIcs, ImportIcs };

struct TRequest {
    TAction Action = TAction::Window;
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
};

struct TReply {
    int Code = ExitDone;
    std::string Out;
    std::string Err;
};

// Reads the arguments after the program's name. False on a usage error, whose
// message and exit code are then in `reply`.
bool ParseCommandLine(const std::vector<std::string>& args, TRequest& request, TReply& reply);

// Whether the request works on the reminders, in the running copy or in a folder.
bool IsTableCommand(const TRequest& request);

// The answer to --help and --version.
TReply HelpReply();
TReply VersionReply();

// Why a system call failed, in French (UTF-8).
std::string FrenchError(int error);

// A refusal with a one-line French message.
TReply Refusal(int code, const std::string& message);

// Text between the terminal and the program: UTF-8 as it is; under a locale
// of another charset, converted, a character that charset lacks becoming '?'.
// setlocale(LC_CTYPE, "") must have been called.
std::string FromTerminal(const std::string& text);
std::string ToTerminal(const std::string& utf8);

// What travels to the running copy: the asking terminal's current directory,
// then the arguments, each ended by a zero byte. False for a malformed one.
std::string EncodeRequest(const std::string& cwd, const std::vector<std::string>& args);
bool DecodeRequest(const std::string& payload, std::string& cwd, std::vector<std::string>& args);

// What comes back: the exit code, the standard output and the standard error.
std::string EncodeReply(const TReply& reply);
bool DecodeReply(const std::string& payload, TReply& reply);

} // namespace vobrik
