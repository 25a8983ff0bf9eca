#include "platform/FolderGuard.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace vobrik {

namespace {

std::string FallbackFor(const struct stat& st) {
    return "@vobrik-" + std::to_string(::geteuid()) + "-" + std::to_string(st.st_dev) + "-" +
           std::to_string(st.st_ino);
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

TFolderGuard::TState TFolderGuard::TryTake(const std::string& folder, std::string& address) {
    Release();
    const std::string path = folder + "/" + FolderGuardName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return TState::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        errno = EPERM; // another user's guard would let him hold our folder
        return TState::Failed;
    }
    int taken;
    while ((taken = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (taken == 0) {
        // Whatever a copy that ended wrote there is no longer true.
        if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return TState::Failed;
        }
        Fd = fd;
        return TState::Ours;
    }
    const int error = errno;
    char text[108] = {};
    const ssize_t n = error == EWOULDBLOCK ? ::pread(fd, text, sizeof text - 1, 0) : -1;
    ::close(fd);
    if (error != EWOULDBLOCK) {
        errno = error;
        return TState::Failed;
    }
    address.assign(text, n > 0 ? static_cast<size_t>(n) : 0);
    if (!address.empty())
        return TState::HeldByCopy;
    address = FallbackFor(st);
    return TState::Busy;
}

std::string TFolderGuard::FallbackAddress() const {
    struct stat st {};
    return Fd >= 0 && ::fstat(Fd, &st) == 0 ? FallbackFor(st) : std::string();
}

bool TFolderGuard::Announce(const std::string& address) {
    return Fd >= 0 &&
           ::pwrite(Fd, address.data(), address.size(), 0) == static_cast<ssize_t>(address.size());
}

} // namespace vobrik
