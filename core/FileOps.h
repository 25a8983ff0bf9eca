#pragma once

// The system calls behind every file the program keeps. Saving goes through
// this interface so that tests can make any single call fail.

#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vobrik {

class IFileOps {
  public:
    virtual ~IFileOps() = default;
    // Each returns what the POSIX call returns and leaves errno set on failure.
    virtual int Open(const char* path, int flags, mode_t mode) = 0;
    virtual ssize_t Read(int fd, void* buffer, size_t size) = 0;
    virtual ssize_t Write(int fd, const void* buffer, size_t size) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Close(int fd) = 0;
    virtual int Rename(const char* from, const char* to) = 0;
    virtual int Unlink(const char* path) = 0;
};

// The real system calls.
IFileOps& SystemFileOps();

enum class TReadResult { NoFile, Read, Failed };

// A folder another user may write: he can put a link or a file of his own
// under any name there, so nothing is followed or reused in it.
bool FolderOthersCanWrite(const std::string& folder);

// How long a read waits for another program that has the file open for
// writing (a restore by cp, an editor writing in place) to finish.
constexpr int WriterWaitMs = 5000;

// Far beyond anything the program writes (100 reminders are 21 300 bytes), and
// small enough that reading a stray huge file cannot exhaust memory.
constexpr size_t MaxReadSize = size_t{16} << 20;

// Reads a whole file. NoFile only when it does not exist. Anything that is not
// a regular file of at most maxSize bytes is Failed, without waiting: a named
// pipe or a device must not block the program or fill its memory. While
// another program has the file open for writing, what it holds may be half
// written: the read waits up to WriterWaitMs, then fails with EBUSY. In a
// folder others can write, a link is not followed (ELOOP).
TReadResult ReadWholeFile(IFileOps& files, const std::string& path,
                          std::vector<unsigned char>& contents, size_t maxSize = MaxReadSize);

// What the reminders and the settings are created with: theirs are the user's alone.
constexpr mode_t PrivateMode = 0600;

// Replaces the file with the given bytes so that a crash or a failure at any
// moment leaves either the whole old file or the whole new one: the bytes go to
// a temporary file beside it, are synced, and the temporary file is renamed over
// the old one. A symbolic link is followed, so the link stays a link, but only
// a link in a folder no one else can write: elsewhere the link itself is
// replaced. The temporary file has a name of its own, created exclusively. An
// existing file keeps its mode; a new one gets `newMode`, exactly, or 0666
// less the umask when `newMode` is 0. `beforeRename`, when given, may still
// refuse once the bytes are synced (it sets errno). On failure the old file is
// untouched, the temporary file is removed and errno is set.
bool SaveFileAtomically(IFileOps& files, const std::string& path, const void* data, size_t size,
                        mode_t newMode = PrivateMode,
                        const std::function<bool()>& beforeRename = nullptr);

// Writes a file that did not exist: a name that is taken, even by a dangling
// link, fails with EEXIST and is left as it is. Synced, with mode 0600.
bool CreateNewFile(IFileOps& files, const std::string& path, const void* data, size_t size);

} // namespace vobrik
