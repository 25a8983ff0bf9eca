#pragma once

// What keeps a single copy of the program running for a user: a named lock
// and a lookup socket in the user's runtime directory.

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

// The private directory of the lock and of the lookup; empty when there is no
// safe place for them.
std::string RuntimeDirectory();
// The path where the window with this title answers lookups.
std::string WindowLookupPath(const char* title);

} // namespace vobrik
