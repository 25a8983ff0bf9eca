#pragma once

#include <string>

namespace vobrik {

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
    // where the copy holding it answers. Busy: a command holds it, a copy
    // that does not answer yet, or a copy that could not write its address
    // (a full disk) and answers at the fallback address, given in `address`.
    // Failed: errno says why.
    TState TryTake(const std::string& folder, std::string& address);
    // Writes where this process answers, for the commands that meet the guard.
    bool Announce(const std::string& address);
    // Where the holder answers when Announce could not write: a name every
    // process works out from the guard file itself, with nothing written.
    std::string FallbackAddress() const;
    void Release();

  private:
    int Fd = -1;
};

} // namespace vobrik
