#pragma once

// How the terminal reaches a running copy, and how the copy answers: a local
// socket, at a path or at an address of the abstract namespace.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {

// The same, for a copy reached at an address (see TFolderGuard).
bool BringCopyForward(const std::string& address);

// An address of the abstract socket namespace that no one can guess.
std::string NewPrivateAddress();
// A listening socket at the address (a path, or "@name" in the abstract
// namespace), or -1.
int ListenAt(const std::string& address);
// A listening socket that the program's lookup server answers on as well.
void ServeAlso(int listener);

enum class TAskResult { Answered, NobodyListens, NotOurs, Gone, TimedOut };

// Hands a command to the copy listening at the address and waits for its
// answer until `deadline`. NobodyListens: nothing listens there, or the copy
// is not ready and applied nothing. NotOurs: another user listens there.
// Gone: the copy closed the connection before answering. TimedOut: no answer
// in time (a stopped copy); the connection is closed, and a copy that
// resumes drops the request unapplied.
TAskResult AskRunningCopy(const std::string& address, const std::string& command,
                          std::string& answer, std::chrono::steady_clock::time_point deadline);

// What the running copy does with a command; it gives the answer, or nothing
// while it is not ready. `stillWanted` says whether the asking side still
// waits for it: nothing is to be applied once it has gone. The program sets
// it, the server calls it.
using TCommandHandler = std::function<std::string(const std::string& command,
                                                  const std::function<bool()>& stillWanted)>;
void SetCommandHandler(TCommandHandler handler);

// The running copy's side: on each listening socket a "show" request runs
// `show` and a command goes to the command handler. It never waits: the
// owner watches each descriptor the server names and calls Ready when it can
// be read or written. Only this user's processes are answered.
class TCommandServer {
  public:
    // fd is to be watched for reading, or for writing; -1 for write stops it.
    using TWatch = std::function<void(int fd, bool forWriting)>;
    using TUnwatch = std::function<void(int fd)>;

    // The caller holds the program's lock, so a socket left at the title's
    // path is the remains of a copy that died and is replaced.
    TCommandServer(const char* title, std::function<void()> show, TWatch watch, TUnwatch unwatch);
    ~TCommandServer();
    TCommandServer(const TCommandServer&) = delete;
    TCommandServer& operator=(const TCommandServer&) = delete;

    // Reads, answers or accepts what is waiting on fd; never blocks.
    void Ready(int fd);

    struct TConnection;

  private:
    void Accept(int listener);
    void Serve(int fd, TConnection& connection);
    void Close(int fd);

    std::string Path;
    std::function<void()> Show;
    TWatch Watch;
    TUnwatch Unwatch;
    std::vector<int> Listeners;
    std::map<int, std::unique_ptr<TConnection>> Connections;
};

} // namespace vobrik
