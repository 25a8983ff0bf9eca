#include "core/FileOps.h"

#include "platform/Random.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vobrik {

namespace {

class TSystemFileOps final : public IFileOps {
  public:
    int Open(const char* path, int flags, mode_t mode) override {
        return ::open(path, flags | O_CLOEXEC, mode);
    }
    ssize_t Read(int fd, void* buffer, size_t size) override { return ::read(fd, buffer, size); }
    ssize_t Write(int fd, const void* buffer, size_t size) override {
        return ::write(fd, buffer, size);
    }
    int Fsync(int fd) override { return ::fsync(fd); }
    int Close(int fd) override { return ::close(fd); }
    int Rename(const char* from, const char* to) override { return ::rename(from, to); }
    int Unlink(const char* path) override { return ::unlink(path); }
};

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Where the bytes really go: the target of a symbolic link (followed to its
// end), otherwise the path itself. A link in a folder others can write may be
// theirs, aimed at any file of this user: it is not followed.
std::string FinalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (FolderOthersCanWrite(DirectoryOf(current)) || ::lstat(current.c_str(), &st) != 0 ||
            !S_ISLNK(st.st_mode))
            return current;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), target, sizeof target - 1);
        if (n < 0)
            return current;
        target[n] = '\0';
        current = target[0] == '/' ? std::string(target) : DirectoryOf(current) + "/" + target;
    }
    return current;
}

bool WriteAll(IFileOps& files, int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = files.Write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A name no one has used, created by this call: a name prepared by someone
// else (a link, a pipe, another writer's file) is never opened.
int CreateTemporary(IFileOps& files, const std::string& target, mode_t mode,
                    std::string& temporary) {
    for (int tries = 0; tries < 16; ++tries) {
        const std::string random = RandomHex(8);
        if (random.empty())
            return -1;
        temporary = target + ".tmp-" + random;
        const int fd =
            files.Open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Another program has the file open for writing: a read lease is refused
// while it does. Where leases do not work (another user's file, a network
// file system), there is nothing to wait on.
bool WaitForWriters(int fd) {
    for (int waited = 0;; waited += 10) {
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            ::fcntl(fd, F_SETLEASE, F_UNLCK);
            return true;
        }
        if (errno != EAGAIN)
            return true;
        if (waited >= WriterWaitMs) {
            errno = EBUSY;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Writes the bytes to a new file, syncs and closes it: a close that fails
// fails the write too, since the bytes may not all be on the disk. Keeps the
// errno of the first failure.
bool WriteSyncClose(IFileOps& files, int fd, const void* data, size_t size) {
    bool ok =
        WriteAll(files, fd, static_cast<const unsigned char*>(data), size) && files.Fsync(fd) == 0;
    int saved = errno;
    if (files.Close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    errno = saved;
    return ok;
}

void SyncDirectory(IFileOps& files, const std::string& dir) {
    // Best effort: the rename has happened, and a directory that cannot be
    // synced does not make the saved data any less complete.
    const int fd = files.Open(dir.c_str(), O_RDONLY | O_DIRECTORY, 0);
    if (fd < 0)
        return;
    files.Fsync(fd);
    files.Close(fd);
}

} // namespace

bool FolderOthersCanWrite(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 &&
           (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0);
}

IFileOps& SystemFileOps() {
    static TSystemFileOps ops;
    return ops;
}

TReadResult ReadWholeFile(IFileOps& files, const std::string& path,
                          std::vector<unsigned char>& contents, size_t maxSize) {
    contents.clear();
    // Without O_NONBLOCK, opening a named pipe waits for a writer forever.
    const int noFollow = FolderOthersCanWrite(DirectoryOf(path)) ? O_NOFOLLOW : 0;
    const int fd = files.Open(path.c_str(), O_RDONLY | O_NONBLOCK | noFollow, 0);
    // Only a name that leads nowhere is no file: a folder that cannot be
    // searched or a loop of links is a file that cannot be read.
    if (fd < 0)
        return errno == ENOENT ? TReadResult::NoFile : TReadResult::Failed;
    struct stat st {};
    int refusal = 0;
    if (::fstat(fd, &st) != 0)
        refusal = errno;
    else if (S_ISDIR(st.st_mode))
        refusal = EISDIR;
    else if (!S_ISREG(st.st_mode))
        refusal = EINVAL;
    else if (static_cast<unsigned long long>(st.st_size) > maxSize)
        refusal = EFBIG;
    else if (!WaitForWriters(fd))
        refusal = errno;
    if (refusal != 0) {
        files.Close(fd);
        errno = refusal;
        return TReadResult::Failed;
    }
    unsigned char buffer[8192];
    for (;;) {
        const ssize_t n = files.Read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            files.Close(fd);
            errno = saved;
            return TReadResult::Failed;
        }
        if (n == 0)
            break;
        // A file that grows while it is read is held to the same bound.
        if (contents.size() + static_cast<size_t>(n) > maxSize) {
            files.Close(fd);
            errno = EFBIG;
            return TReadResult::Failed;
        }
        contents.insert(contents.end(), buffer, buffer + n);
    }
    files.Close(fd);
    return TReadResult::Read;
}

bool SaveFileAtomically(IFileOps& files, const std::string& path, const void* data, size_t size,
                        mode_t newMode, const std::function<bool()>& beforeRename) {
    const std::string target = FinalTarget(path);
    mode_t mode = newMode;
    struct stat st {};
    // A link still there was not followed: the rename replaces the link.
    if (::lstat(target.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        // Only a plain file is ever replaced: a link to a device or a folder
        // is the user's mistake, and the rename would destroy what it names.
        if (!S_ISREG(st.st_mode)) {
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return false;
        }
        // A file the user made read-only stays as it is, even for root, who
        // could otherwise replace it through the rename.
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
            errno = EACCES;
            return false;
        }
        mode = st.st_mode & 07777;
    }

    std::string temporary;
    const int fd = CreateTemporary(files, target, mode != 0 ? mode : 0666, temporary);
    if (fd < 0)
        return false;
    // Exactly that mode, whatever the umask: private files stay private, and
    // a file the user shared on purpose stays shared.
    if (mode != 0)
        ::fchmod(fd, mode);

    bool ok = WriteSyncClose(files, fd, data, size);
    ok = ok && (!beforeRename || beforeRename()) &&
         files.Rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        files.Unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    SyncDirectory(files, DirectoryOf(target));
    return true;
}

bool CreateNewFile(IFileOps& files, const std::string& path, const void* data, size_t size) {
    // O_EXCL never follows a link, dangling or not.
    const int fd = files.Open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    const bool ok = WriteSyncClose(files, fd, data, size);
    if (ok)
        SyncDirectory(files, DirectoryOf(path));
    return ok;
}

} // namespace vobrik
