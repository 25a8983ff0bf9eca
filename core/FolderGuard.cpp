#include "core/FolderGuard.h"

#include "core/FileOps.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {

namespace {

std::string AddressFor(const struct stat& st) {
    return "@vobrik-" + std::to_string(::geteuid()) + "-" + std::to_string(st.st_dev) + "-" +
           std::to_string(st.st_ino);
}

// The address a copy wrote in the guard file, if this user's own plain file
// holds one: anyone who can write the folder may have put something there.
std::string Announced(const std::string& folder) {
    const std::string path = folder + "/" + FolderGuardName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    char text[108] = {};
    const bool own = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
    const ssize_t n = own ? ::read(fd, text, sizeof text - 1) : -1;
    ::close(fd);
    return n > 1 && text[0] == '@' ? std::string(text, static_cast<size_t>(n)) : std::string();
}

int Lock(int fd) {
    int taken;
    while ((taken = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return taken;
}

} // namespace

TFolderGuard::~TFolderGuard() {
    Release();
}

void TFolderGuard::Release() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

TFolderGuard::TState TFolderGuard::TryTake(const std::string& folder,
                                           std::vector<std::string>& addresses) {
    Release();
    addresses.clear();
    OnFile = false;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return TState::Failed;
    int taken = Lock(fd);
    if (taken != 0 && errno != EWOULDBLOCK) {
        // NFS locks a folder for no one (its flock needs a file open for
        // writing): there the guard is the guard file, as before.
        ::close(fd);
        const std::string path = folder + "/" + FolderGuardName;
        if ((fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) < 0)
            return TState::Failed;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
            ::close(fd);
            errno = EPERM; // another user's guard would let him hold our folder
            return TState::Failed;
        }
        taken = Lock(fd);
        OnFile = true;
    }
    if (taken == 0) {
        Fd = fd;
        Folder = folder;
        return TState::Ours;
    }
    const int error = errno;
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (error != EWOULDBLOCK) {
        errno = error;
        return TState::Failed;
    }
    if (const std::string announced = Announced(folder); !announced.empty())
        addresses.push_back(announced);
    if (known)
        addresses.push_back(AddressFor(st));
    return TState::Held;
}

std::string TFolderGuard::Address() const {
    struct stat st {};
    return Fd >= 0 && ::fstat(Fd, &st) == 0 ? AddressFor(st) : std::string();
}

bool TFolderGuard::Announce(const std::string& address) {
    if (Fd < 0)
        return false;
    // A guard file that is the lock is written in place: replacing it would
    // leave the lock on a file no one else opens.
    if (OnFile)
        return ::ftruncate(Fd, 0) == 0 && ::pwrite(Fd, address.data(), address.size(), 0) ==
                                              static_cast<ssize_t>(address.size());
    return SaveFileAtomically(SystemFileOps(), Folder + "/" + FolderGuardName, address.data(),
                              address.size());
}

} // namespace vobrik
