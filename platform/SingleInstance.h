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

// Asks the running copy whose main window has this title to bring it to the
// top, show it, restore it and make it the foreground window. True once that
// copy has answered; false when none answers within a few seconds. A copy that
// is still starting may not listen yet: waitMs gives it that long to begin.
bool BringRunningWindowForward(const char* title, int waitMs = 0);

// The running copy's side of the lookup: a local socket named after the main
// window's title, on which a "show" request runs `show` and is answered. The
// owner waits for requests on Descriptor() in its message loop.
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
    // Takes one waiting request and answers it.
    void AnswerRequest();

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
