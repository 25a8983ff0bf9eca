#pragma once

// What keeps a single copy of the program running for a user, and how the
// terminal reaches it: a named lock and a lookup socket in the user's runtime
// directory (the session's copy), and a guard in each reminder folder that
// whoever writes the folder holds and that names where its copy answers.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {

enum class TLockResult { Created, AlreadyExists, Failed };

// Takes the lock of that name for this process. It is held until the process
// ends, however it ends.
TLockResult CreateNamedLock(const char* name);

// Asks the running copy whose main window has this title to bring it to the
// top, show it, restore it and make it the foreground window. True once that
// copy has answered; false when none answers within a few seconds. A copy that
// is still starting may not listen yet: waitMs gives it that long to begin.
bool BringRunningWindowForward(const char* title, int waitMs = 0);
// The same, for a copy reached at an address (see TFolderGuard).
bool BringCopyForward(const std::string& address);

// The file in each reminder folder that guards it.
constexpr const char* FolderGuardName = "VOBRIK.LCK";

// Whoever writes a reminder folder holds its guard, a lock on a file in the
// folder itself, so that every process meets it whatever its environment
// (cron, su, ssh, another session). A running copy holds it for its life and
// writes in it the address where it answers; a command holds it only while it
// works on the folder.
class TFolderGuard {
  public:
    enum class TState { Ours, HeldByCopy, Busy, Failed };

    TFolderGuard() = default;
    ~TFolderGuard();
    TFolderGuard(const TFolderGuard&) = delete;
    TFolderGuard& operator=(const TFolderGuard&) = delete;

    // One try. Ours: this process holds the folder. HeldByCopy: `address` is
    // where the copy holding it answers. Busy: a command holds it, or a copy
    // that does not answer yet. Failed: errno says why.
    TState TryTake(const std::string& folder, std::string& address);
    // Writes where this process answers, for the commands that meet the guard.
    bool Announce(const std::string& address);
    void Release();

  private:
    int Fd = -1;
};

// An address of the abstract socket namespace that no one can guess.
std::string NewPrivateAddress();
// A listening socket at the address (a path, or "@name" in the abstract
// namespace), or -1.
int ListenAt(const std::string& address);
// A listening socket that the program's lookup server answers on as well.
void ServeAlso(int listener);

enum class TAskResult { Answered, NobodyListens, NotOurs, Gone };

// Hands a command to the copy listening at the address and waits for its
// answer as long as that copy lives. NobodyListens: nothing listens there, or
// the copy is not ready and applied nothing. NotOurs: another user listens
// there. Gone: the copy closed the connection before answering.
TAskResult AskRunningCopy(const std::string& address, const std::string& command,
                          std::string& answer);

// What the running copy does with a command, given whether a modal window is
// open; it gives the answer, or nothing while it is not ready. The program
// sets it, the server calls it.
using TCommandHandler = std::function<std::string(const std::string& command, bool busy)>;
void SetCommandHandler(TCommandHandler handler);

// The running copy's side: on each listening socket a "show" request runs
// `show` and a command goes to the command handler. It never waits: the
// owner watches each descriptor the server names and calls Ready when it can
// be read or written. Only this user's processes are answered.
class TWindowLookupServer {
  public:
    // fd is to be watched for reading, or for writing; -1 for write stops it.
    using TWatch = std::function<void(int fd, bool forWriting)>;
    using TUnwatch = std::function<void(int fd)>;

    // The caller holds the program's lock, so a socket left at the title's
    // path is the remains of a copy that died and is replaced.
    TWindowLookupServer(const char* title, std::function<void()> show, TWatch watch,
                        TUnwatch unwatch);
    ~TWindowLookupServer();
    TWindowLookupServer(const TWindowLookupServer&) = delete;
    TWindowLookupServer& operator=(const TWindowLookupServer&) = delete;

    // Reads, answers or accepts what is waiting on fd; never blocks.
    void Ready(int fd, bool busy);

    struct TConnection;

  private:
    void Accept(int listener);
    void Serve(int fd, TConnection& connection, bool busy);
    void Close(int fd);

    std::string Path;
    std::function<void()> Show;
    TWatch Watch;
    TUnwatch Unwatch;
    std::vector<int> Listeners;
    std::map<int, std::unique_ptr<TConnection>> Connections;
};

// The private directory of the lock and of the lookup; empty when there is no
// safe place for them.
std::string RuntimeDirectory();
// The path where the window with this title answers lookups.
std::string WindowLookupPath(const char* title);

} // namespace vobrik
