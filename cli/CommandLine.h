#pragma once

// The program's command line: what it asks for, read from the table of
// commands, and the answer it gets, ready for the terminal. Texts here are
// UTF-8 unless said otherwise.

#include "cli/Command.h"

#include <string>
#include <vector>

namespace vobrik {

// The first argument is the word HIDE, in any mix of cases. No other argument
// is looked at.
bool IsHideArgument(int argc, const char* const argv[]);

// Reads the arguments after the program's name. False on a usage error, whose
// message and exit code are then in `reply`.
bool ParseCommandLine(const std::vector<std::string>& args, TRequest& request, TReply& reply);

// The answer to --help and --version.
TReply HelpReply();
TReply VersionReply();

// Why a system call failed, in French.
std::string FrenchError(int error);

// A refusal with a one-line French message.
TReply Refusal(int code, const std::string& message);

// A command's refusal when the table could not be saved.
TReply NotSaved(const TAlarmTable& table);

// Digits only, at most `width` of them.
bool Digits(const std::string& text, size_t width);

// « text », as the messages quote what the user typed.
std::string Quoted(const std::string& text);

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
