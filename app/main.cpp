// The terminal program, vobrik: the commands on the reminders, answered
// without the toolkit; with no command (or HIDE) it becomes the window
// program installed beside it. Built a second time as vobrik-ics, with the
// calendar files.

#include "app/CalendarCommands.h"
#include "app/CommandLine.h"
#include "app/TableCommands.h"
#include "platform/SearchPath.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace vobrik {

namespace {

// Every write is checked, as GNU tools do: a full disk or a closed output
// ends with a message (where the error output still takes one) and exit 1.
// A change already made stays made, and the message says so.
int Print(const TReply& reply) {
    const std::string out = ToTerminal(reply.Out);
    errno = 0;
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size() &&
                         std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int error = errno;
    std::string err = ToTerminal(reply.Err);
    if (!written)
        err += ToTerminal("vobrik : impossible d'\xC3\xA9" "crire sur la sortie standard : " +
                          FrenchError(error != 0 ? error : EIO) +
                          (reply.Code == ExitDone ? " (la commande a \xC3\xA9t\xC3\xA9 faite)\n"
                                                  : "\n"));
    std::fwrite(err.data(), 1, err.size(), stderr);
    return written ? reply.Code : ExitRefused;
}

// A program of ours that takes over: beside this one in the build tree, in
// <prefix>/libexec/vobrik once installed.
int Become(const char* name, char* argv[]) {
    const std::string here = ProgramDirectory();
    for (const std::string& path :
         {here + "/" + name, here + "/../libexec/vobrik/" + name}) {
        if (::access(path.c_str(), X_OK) == 0) {
            ::execv(path.c_str(), argv);
            return Print(Refusal(ExitRefused, "impossible de lancer " + path + " : " +
                                                  FrenchError(errno)));
        }
    }
    return Print(Refusal(ExitRefused, std::string(name) + " introuvable pr\xC3\xA8s de " + here));
}

#ifdef VOBRIK_ICS
int ImportStandardInput(TRequest& request, std::vector<std::string> args) {
    std::string path;
    if (!StandardInputToFile(path))
        return Print(Refusal(ExitRefused, "impossible de lire l'entr\xC3\xA9" "e standard : " +
                                              FrenchError(errno)));
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--import-ics=-")
            args[i] = "--import-ics=" + path;
        else if (args[i] == "--import-ics" && i + 1 < args.size() && args[i + 1] == "-")
            args[i + 1] = path;
    }
    request.File = path;
    const int code = Print(RunFromTerminal(request, args));
    ::unlink(path.c_str());
    return code;
}
#endif

int ProgramMain(int argc, char* argv[]) {
    std::setlocale(LC_CTYPE, "");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(FromTerminal(argv[i]));
    TRequest request;
    TReply usage;
    if (!ParseCommandLine(args, request, usage))
        return Print(usage);
    if (request.Action == TAction::Help)
        return Print(HelpReply());
    if (request.Action == TAction::Version)
        return Print(VersionReply());
#ifdef VOBRIK_ICS
    UseCalendarCommands();
    if (request.Action == TAction::ImportIcs && request.File == "-")
        return ImportStandardInput(request, args);
#else
    // Calendar files need libical, and with it ICU, which would weigh on
    // every other command: they have a program of their own.
    if (request.Action == TAction::ExportIcs || request.Action == TAction::ImportIcs)
        return Become("vobrik-ics", argv);
#endif
    if (IsTableCommand(request))
        return Print(RunFromTerminal(request, args));
    return Become("vobrik-window", argv);
}

} // namespace

} // namespace vobrik

int main(int argc, char* argv[]) {
    return vobrik::ProgramMain(argc, argv);
}
