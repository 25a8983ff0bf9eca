#pragma once

// What keeps a single copy of the program running for a user: a named lock,
// and a lookup by title that reaches the main window of the running copy,
// both the asking side and the answering one.
// Both live in the user's runtime directory ($XDG_RUNTIME_DIR/vobrik, or a
// private /tmp/vobrik-UID when the session has none).

#include <functional>
#include <string>

namespace vobrik {

enum class TLockResult { Created, AlreadyExists, Failed };

// Takes the lock of that name for this process. It is held until the process
// ends, however it ends.
TLockResult CreateNamedLock(const char* name);

// Lets go of a lock this process took with CreateNamedLock, so that another
// copy can take it; a short job holds it only while it works.
void ReleaseNamedLock(const char* name);

// Asks the running copy whose main window has this title to bring it to the
// top, show it, restore it and make it the foreground window. True once that
// copy has answered; false when none answers within a few seconds. A copy that
// is still starting may not listen yet: waitMs gives it that long to begin.
bool BringRunningWindowForward(const char* title, int waitMs = 0);

enum class TAskResult { Answered, NobodyListens, NoAnswer };

// Hands a command to the running copy whose main window has this title and
// waits for its answer, at most timeoutMs once the command is sent.
TAskResult AskRunningCopy(const char* title, const std::string& command, std::string& answer,
                          int timeoutMs);

// What the running copy does with a command, given whether a modal window is
// open; it gives the answer. The program sets it, the listening socket calls it.
using TCommandHandler = std::function<std::string(const std::string& command, bool busy)>;
void SetCommandHandler(TCommandHandler handler);

// The running copy's side of the lookup: a local socket named after the main
// window's title, on which a "show" request runs `show` and is answered, and
// a command from the terminal goes to the command handler. The owner waits for
// requests on Descriptor() in its message loop.
class TWindowLookupServer {
  public:
    // The caller holds the program's lock, so a socket left at that path is
    // the remains of a copy that died and is replaced.
    TWindowLookupServer(const char* title, std::function<void()> show);
    ~TWindowLookupServer();
    TWindowLookupServer(const TWindowLookupServer&) = delete;
    TWindowLookupServer& operator=(const TWindowLookupServer&) = delete;

    // -1 when nothing listens.
    int Descriptor() const { return Socket; }
    // Takes one waiting request and answers it. A request must come whole
    // within a second and may not exceed 64 KiB; anything else is
    // dropped unanswered. `busy` is passed on to the command handler.
    void AnswerRequest(bool busy);

  private:
    std::string Path;
    std::function<void()> Show;
    int Socket = -1;
};

// The private directory of the lock and of the lookup; empty when there is no
// safe place for them.
std::string RuntimeDirectory();
// The path where the window with this title answers lookups.
std::string WindowLookupPath(const char* title);

} // namespace vobrik
