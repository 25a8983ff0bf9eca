#include "platform/SingleInstance.h"

#include "platform/CommandSocket.h"
#include "platform/SearchPath.h"

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
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace vobrik {

namespace {

// A directory only this user can enter, or false. A directory that someone
// else owns or can write to is refused, so that another user can neither
// hold our lock nor pose as our running copy.
bool PrivateDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::string SafeName(const char* name) {
    std::string safe;
    for (const char* c = name; *c != '\0'; ++c) {
        const bool plain = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') ||
                           (*c >= '0' && *c <= '9') || *c == '-' || *c == '_';
        safe.push_back(plain ? *c : '_');
    }
    return safe;
}

// Room left in a socket's path for the names placed in the directory.
constexpr size_t MaxDirectoryLength = sizeof(sockaddr_un::sun_path) - 24;

// Tells whose a place is that cannot be used, once.
void SayWhose(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || st.st_uid == ::geteuid())
        return;
    const passwd* owner = ::getpwuid(st.st_uid);
    const std::string name = owner != nullptr ? owner->pw_name : std::to_string(st.st_uid);
    std::fprintf(stderr, "vobrik : %s appartient à %s ; Vobrik ne s'en sert pas\n", path.c_str(),
                 name.c_str());
}

} // namespace

std::string RuntimeDirectory() {
    // The session's runtime directory when it has one, so that every copy
    // started in the session meets the same lock; without one, a private
    // folder in the shared temporary folder, and where someone else holds
    // that name, one in the user's own cache.
    std::vector<std::string> places;
    const std::string runtime = AbsoluteVariable("XDG_RUNTIME_DIR");
    if (!runtime.empty())
        places.push_back(runtime + "/vobrik");
    const std::string temporary = AbsoluteVariable("TMPDIR");
    places.push_back((temporary.empty() ? "/tmp" : temporary) + "/vobrik-" +
                     std::to_string(::geteuid()));
    const std::string cache = AbsoluteVariable("XDG_CACHE_HOME");
    const std::string home = HomeDirectory();
    if (!cache.empty() || !home.empty())
        places.push_back((cache.empty() ? home + "/.cache" : cache) + "/vobrik-run");
    if (!cache.empty() || !home.empty())
        ::mkdir((cache.empty() ? home + "/.cache" : cache).c_str(), 0700);
    static bool said = false;
    for (const std::string& place : places) {
        if (place.size() <= MaxDirectoryLength && PrivateDirectory(place)) {
            said = true;
            return place;
        }
        if (!said)
            SayWhose(place);
    }
    said = true;
    return {};
}

TLockResult CreateNamedLock(const char* name) {
    const std::string dir = RuntimeDirectory();
    if (dir.empty())
        return TLockResult::Failed;
    const std::string path = dir + "/" + SafeName(name) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return TLockResult::Failed;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? TLockResult::AlreadyExists : TLockResult::Failed;
    }
    // The descriptor stays open on purpose: the kernel drops the lock when the
    // process ends, whether it exits, crashes or is killed.
    return TLockResult::Created;
}

std::string WindowLookupPath(const char* title) {
    const std::string dir = RuntimeDirectory();
    return dir.empty() ? std::string() : dir + "/" + SafeName(title) + ".window";
}

bool BringRunningWindowForward(const char* title, int waitMs) {
    const std::string path = WindowLookupPath(title);
    constexpr int RetryMs = 50;
    for (int waited = 0; !path.empty(); waited += RetryMs) {
        if (BringCopyForward(path))
            return true;
        if (waited >= waitMs || ::access(path.c_str(), F_OK) != 0)
            return false;
        ::usleep(RetryMs * 1000);
    }
    return false;
}

} // namespace vobrik
