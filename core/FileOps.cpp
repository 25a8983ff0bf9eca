#include "core/FileOps.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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
// end), otherwise the path itself.
std::string FinalTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
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

// Whatever is left under the temporary name (the file of an interrupted save, a
// link, a named pipe) is removed rather than opened: writing through a link
// would overwrite another file, and opening a pipe would wait forever.
int CreateTemporary(IFileOps& files, const std::string& temporary, mode_t mode) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
    const int fd = files.Open(temporary.c_str(), flags, mode);
    if (fd >= 0 || errno != EEXIST)
        return fd;
    if (files.Unlink(temporary.c_str()) != 0)
        return -1;
    return files.Open(temporary.c_str(), flags, mode);
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

IFileOps& SystemFileOps() {
    static TSystemFileOps ops;
    return ops;
}

TReadResult ReadWholeFile(IFileOps& files, const std::string& path,
                          std::vector<unsigned char>& contents, size_t maxSize) {
    contents.clear();
    // Only a name that leads nowhere is no file: a folder that cannot be
    // searched or a loop of links is a file that cannot be read.
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT)
        return TReadResult::NoFile;
    // Without O_NONBLOCK, opening a named pipe waits for a writer forever.
    const int fd = files.Open(path.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0)
        return TReadResult::Failed;
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
                        mode_t newMode) {
    // The kernel refuses to follow another user's link in a shared folder
    // such as /tmp; resolving the link here would bypass that refusal.
    const int probe = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0 && errno != ENOENT)
        return false;
    if (probe >= 0)
        ::close(probe);
    const std::string target = FinalTarget(path);
    const std::string temporary = target + ".tmp";

    mode_t mode = newMode;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
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

    const int fd = CreateTemporary(files, temporary, mode != 0 ? mode : 0666);
    if (fd < 0)
        return false;
    // Exactly that mode, whatever the umask: private files stay private, and
    // a file the user shared on purpose stays shared.
    if (mode != 0)
        ::fchmod(fd, mode);

    bool ok =
        WriteAll(files, fd, static_cast<const unsigned char*>(data), size) && files.Fsync(fd) == 0;
    int saved = errno;
    if (files.Close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && files.Rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        files.Unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    SyncDirectory(files, DirectoryOf(target));
    return true;
}

} // namespace vobrik
