#pragma once

// What keeps a single copy of the program running for a user: a named lock,
// and a lookup by title that reaches the main window of the running copy.
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

// The running copy's side of one connection: the request, read within
// timeoutMs. Show is the bare "show"; Command fills `command`; anything else,
// or too long, or too slow, is Bad.
enum class TRequestKind { Show, Command, Bad };
constexpr size_t MaxCommandSize = 64 * 1024;
TRequestKind ReadRequest(int connection, std::string& command, int timeoutMs);
// The answer to a Show request, and to a Command.
void AnswerShow(int connection);
void AnswerCommand(int connection, const std::string& answer, int timeoutMs);

// What the running copy does with a command, given whether a modal window is
// open; it gives the answer. The program sets it, the listening socket calls it.
using TCommandHandler = std::function<std::string(const std::string& command, bool busy)>;
void SetCommandHandler(TCommandHandler handler);
// False when no handler is set.
bool HandleCommand(const std::string& command, bool busy, std::string& answer);

// The private directory of the lock and of the lookup; empty when there is no
// safe place for them.
std::string RuntimeDirectory();
// The path where the window with this title answers lookups.
std::string WindowLookupPath(const char* title);

} // namespace vobrik
