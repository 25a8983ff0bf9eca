#include "cli/RunCommand.h"

#include "cli/CommandLine.h"
#include "core/FolderGuard.h"
#include "core/LocalTime.h"
#include "platform/CommandSocket.h"
#include "platform/SearchPath.h"
#include "platform/SingleInstance.h"
#include "platform/Text1252.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vobrik {

namespace {

constexpr const char* ProgramTitle = "Vobrik";

// A list that shows nothing: a command has no window.
class TNoList : public IAlarmList {
  public:
    void SetRedraw(bool) override {}
    void Clear() override {}
    int AddString(const char*) override { return 0; }
    void SetItemData(int, int32_t) override {}
    int GetSelIndex() override { return -1; }
    int32_t GetItemData(int) override { return -1; }
    void Invalidate() override {}
};

class TSystemClock : public IClock {
  public:
    int32_t Now() override { return CurrentTime(); }
};

// Keeps what the table would have shown in a box, for the command's error
// output. Its own "Error" boxes are said again, in French, by the command.
class TCapturedMessages : public IMessages {
  public:
    std::string Text;
    int MessageBox(const char* text, const char* caption, unsigned) override {
        if (std::strcmp(caption, "Error") != 0)
            Text += "vobrik : " + Utf8FromWindows1252(text) + "\n";
        return IDOK;
    }
};

} // namespace

std::string Absolute(const std::string& path, const std::string& cwd) {
    std::string full =
        std::filesystem::path(path[0] == '/' ? path : cwd + "/" + path).lexically_normal();
    if (full.size() > 1 && full.back() == '/')
        full.pop_back();
    return full;
}

namespace {

// Why a reminder folder cannot be worked on, empty when it can: it must be a
// folder this user may enter and read.
std::string FolderProblem(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return errno == ENOENT
                   ? "le dossier " + folder + " n'existe pas"
                   : "le dossier " + folder + " n'est pas accessible : " + FrenchError(errno);
    if (!S_ISDIR(st.st_mode))
        return "le dossier " + folder + " n'est pas un dossier";
    if (::access(folder.c_str(), R_OK | X_OK) != 0)
        return "le dossier " + folder + " n'est pas accessible : " + FrenchError(errno);
    return {};
}

// Loads the reminder file at `path`, applies the request and saves; `shown`
// follows the file's name in --list. Messages the table would show in a box
// go to the reply.
TReply RunOnFile(const TRequest& request, const std::string& path, const char* shown,
                 const std::string& cwd, const std::function<bool()>& stillWanted = nullptr) {
    TNoList list;
    TCapturedMessages messages;
    TSystemClock clock;
    TAlarmTable table(list, messages, clock, SystemFileOps(), path);
    table.StillWanted = stillWanted;
    if (table.LoadAlarms() == TLoadResult::OpenFailed)
        return Refusal(ExitRefused, "impossible de lire " + path + " : " + FrenchError(errno));
    if (request.Command == nullptr || request.Command->Run == nullptr)
        return Refusal(ExitUsage, "commande inattendue");
    TCommandContext context{table, path + shown, cwd};
    TReply reply = request.Command->Run(context, request);
    reply.Err = messages.Text + reply.Err;
    return reply;
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

} // namespace

TReply AnswerFromRunningCopy(const std::string& fileName, const std::string& cwd,
                             const std::vector<std::string>& args,
                             const std::function<bool()>& stillWanted) {
    TRequest request;
    TReply reply;
    if (!ParseCommandLine(args, request, reply))
        return reply;
    if (request.Command == nullptr)
        return Refusal(ExitUsage, "commande inattendue");
    const std::string here = CurrentDirectory();
    if (!request.Dir.empty() && !SameFolder(Absolute(request.Dir, cwd), here))
        return Refusal(ExitRefused, "Vobrik est lancé sur " + here +
                                        " ; quittez-le pour travailler sur " + request.Dir);
    // Even while a window of the copy waits for an answer (a ring, the
    // editor, a question), maybe for hours: the table takes the change when
    // it reads the file again, or merges it at its next save.
    return RunOnFile(request, Absolute(fileName, here), " (Vobrik lancé)", cwd, stillWanted);
}

std::string AnswerCommandRequest(const std::string& fileName, const std::string& payload,
                                 const std::function<bool()>& stillWanted) {
    std::string cwd;
    std::vector<std::string> args;
    if (!DecodeRequest(payload, cwd, args))
        return EncodeReply(Refusal(ExitUsage, "requête illisible"));
    return EncodeReply(AnswerFromRunningCopy(fileName, cwd, args, stillWanted));
}

std::string RequestFolder(const TRequest& request, const std::string& cwd) {
    if (!request.Dir.empty())
        return Absolute(request.Dir, cwd);
    // As the base directory rules say: a relative XDG_DATA_HOME is ignored,
    // and without HOME the account's own home is used.
    const std::string data = AbsoluteVariable("XDG_DATA_HOME");
    return (data.empty() ? HomeDirectory() + "/.local/share" : data) + "/vobrik";
}

TReply RunInFolder(const TRequest& request, const std::string& folder, const std::string& cwd) {
    return RunOnFile(request, folder + "/" + AlarmFileName, " (Vobrik n'est pas lancé)", cwd);
}

namespace {

using TSteady = std::chrono::steady_clock;

TReply TimedOut(const TRequest& request, const std::string& what) {
    return Refusal(ExitTimeout, what + " depuis " + std::to_string(request.Timeout) +
                                    " s : la commande n'a pas été faite (voir --timeout)");
}

// The answer of a copy asked at the address; nothing when it is not there
// (or not ready: it applied nothing).
std::optional<TReply> AskCopy(const std::string& address, const std::string& command,
                              const TRequest& request, TSteady::time_point deadline) {
    std::string answer;
    TReply reply;
    switch (AskRunningCopy(address, command, answer, deadline)) {
    case TAskResult::Answered:
        return DecodeReply(answer, reply) ? reply
                                          : Refusal(ExitRefused, "réponse illisible de Vobrik");
    case TAskResult::NotOurs:
        return Refusal(ExitRefused, "le Vobrik qui répond en " + address + " n'est pas à vous");
    case TAskResult::Gone:
        return Refusal(ExitRefused, "Vobrik s'est arrêté avant de répondre ; voyez avec vobrik "
                                    "--list si la commande a été faite");
    case TAskResult::TimedOut:
        return TimedOut(request, "Vobrik ne répond pas (arrêté ou figé ?)");
    case TAskResult::NobodyListens:
        break;
    }
    return std::nullopt;
}

} // namespace

TReply RunFromTerminal(const TRequest& request, const std::vector<std::string>& args) {
    const std::string cwd = CurrentDirectory();
    if (cwd.empty())
        return Refusal(ExitRefused, "dossier courant inaccessible");
    const std::string command = EncodeRequest(cwd, args);
    const auto deadline = TSteady::now() + std::chrono::seconds(request.Timeout);
    // Without --dir, the copy of this session answers on its own folder.
    if (request.Dir.empty())
        if (std::optional<TReply> reply =
                AskCopy(WindowLookupPath(ProgramTitle), command, request, deadline))
            return *reply;

    const std::string folder = RequestFolder(request, cwd);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT && request.Dir.empty()) {
        if (!request.Command->Writes) // nothing there yet, and nothing to write
            return RunInFolder(request, folder, cwd);
        // The default folder is made, private; a folder that was there keeps its mode.
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return Refusal(ExitRefused,
                           "impossible de créer le dossier " + folder + " : " + FrenchError(errno));
    } else if (const std::string why = FolderProblem(folder); !why.empty()) {
        return Refusal(ExitRefused, why);
    }
    // The folder's guard is met by every process that writes it: the copy
    // that holds it answers, a command that holds it is waited for.
    for (;;) {
        TFolderGuard guard;
        std::vector<std::string> addresses;
        switch (guard.TryTake(folder, addresses)) {
        case TFolderGuard::TState::Ours:
            return RunInFolder(request, folder, cwd);
        case TFolderGuard::TState::Held: // a copy, or a command at work
            for (const std::string& address : addresses)
                if (std::optional<TReply> reply = AskCopy(address, command, request, deadline))
                    return *reply;
            break;
        case TFolderGuard::TState::Failed:
            // A folder one may read but not write is still listed.
            if (!request.Command->Writes && (errno == EACCES || errno == EROFS))
                return RunInFolder(request, folder, cwd);
            return Refusal(ExitRefused, "impossible de prendre le verrou de " + folder + " : " +
                                            FrenchError(errno));
        }
        if (TSteady::now() > deadline)
            return TimedOut(request, "le dossier " + folder + " est pris par un autre programme");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace vobrik
