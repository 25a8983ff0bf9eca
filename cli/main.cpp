// The terminal program, vobrik: the commands on the reminders, answered
// without the toolkit; with no command (or HIDE) it becomes the window
// program installed beside it. Built a second time as vobrik-ics, with the
// handlers the first leaves out.

#include "cli/CommandLine.h"
#include "cli/RunCommand.h"
#include "platform/SearchPath.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
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
        err += ToTerminal("vobrik : impossible d'écrire sur la sortie standard : " +
                          FrenchError(error != 0 ? error : EIO) +
                          (reply.Code == ExitDone ? " (la commande a été faite)\n" : "\n"));
    std::fwrite(err.data(), 1, err.size(), stderr);
    return written ? reply.Code : ExitRefused;
}

// A program of ours that takes over: beside this one in the build tree, in
// <prefix>/libexec/vobrik once installed.
int Become(const char* name, char* argv[]) {
    const std::string here = ProgramDirectory();
    for (const std::string& path : {here + "/" + name, here + "/../libexec/vobrik/" + name}) {
        if (::access(path.c_str(), X_OK) == 0) {
            ::execv(path.c_str(), argv);
            return Print(
                Refusal(ExitRefused, "impossible de lancer " + path + " : " + FrenchError(errno)));
        }
    }
    return Print(Refusal(ExitRefused, std::string(name) + " introuvable près de " + here));
}

// Copies the terminal's standard input into a private file of its own, for
// "--import-ics -" to be read by the running copy as any other file. The
// caller removes it.
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

// A command that reads a file named "-" (--import-ics -) reads the terminal.
int ImportStandardInput(TRequest& request, std::vector<std::string> args) {
    const std::string option = std::string("--") + request.Command->Long;
    std::string path;
    if (!StandardInputToFile(path))
        return Print(
            Refusal(ExitRefused, "impossible de lire l'entrée standard : " + FrenchError(errno)));
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option + "=-")
            args[i] = option + "=" + path;
        else if (args[i] == option && i + 1 < args.size() && args[i + 1] == "-")
            args[i + 1] = path;
    }
    request.File = path;
    TReply reply = RunFromTerminal(request, args);
    ::unlink(path.c_str());
    // The private copy is this program's business: the user gave standard input.
    for (std::string* text : {&reply.Out, &reply.Err})
        for (size_t at; (at = text->find(path)) != std::string::npos;)
            text->replace(at, path.size(), "entrée standard");
    return Print(reply);
}

int ProgramMain(int argc, char* argv[]) {
    std::setlocale(LC_CTYPE, "");
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(FromTerminal(argv[i]));
    TRequest request;
    TReply usage;
    if (!ParseCommandLine(args, request, usage))
        return Print(usage);
    if (request.Help)
        return Print(HelpReply());
    if (request.Version)
        return Print(VersionReply());
    const TCommand* command = request.Command;
    if (command == nullptr)
        return Become("vobrik-window", argv);
    if (command->Run == nullptr)
        return Become(command->Program, argv);
    if (command->Writes && request.File == "-")
        return ImportStandardInput(request, args);
    return Print(RunFromTerminal(request, args));
}

} // namespace

} // namespace vobrik

int main(int argc, char* argv[]) {
    return vobrik::ProgramMain(argc, argv);
}
