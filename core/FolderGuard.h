#pragma once

#include <string>
#include <vector>

namespace vobrik {

// The file in each reminder folder that names where its running copy answers.
constexpr const char* FolderGuardName = "VOBRIK.LCK";

// Whoever writes a reminder folder holds its guard, a lock on the folder
// itself, so that every process meets it whatever its environment (cron, su,
// ssh, another session) and whatever becomes of the files in it: a folder
// cannot be removed or replaced while it holds reminders. A running copy
// holds it for its life; a command holds it only while it works.
class TFolderGuard {
  public:
    enum class TState { Ours, Held, Failed };

    TFolderGuard() = default;
    ~TFolderGuard();
    TFolderGuard(const TFolderGuard&) = delete;
    TFolderGuard& operator=(const TFolderGuard&) = delete;

    // One try. Ours: this process holds the folder. Held: another process
    // does; `addresses` are where a copy holding it may answer (none answers
    // when a command holds it). Failed: errno says why.
    TState TryTake(const std::string& folder, std::vector<std::string>& addresses);
    // Writes in the guard file where this process answers too.
    bool Announce(const std::string& address);
    // Where the holder always answers: a name every process of this user
    // works out from the folder itself, with nothing written, so that it is
    // found even once the guard file is gone or replaced.
    std::string Address() const;
    void Release();

  private:
    int Fd = -1;
    std::string Folder;
    bool OnFile = false; // the lock is on the guard file, where the folder cannot be locked
};

} // namespace vobrik
