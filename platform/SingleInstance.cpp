#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace vobrik {

namespace {

constexpr int AnswerTimeoutMs = 5000;

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

} // namespace

std::string RuntimeDirectory() {
    // The session's runtime directory when it has one, so that every copy
    // started in the session meets the same lock; a private one in /tmp only
    // when there is none.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = runtime != nullptr && runtime[0] != '\0'
                                ? std::string(runtime) + "/vobrik"
                                : "/tmp/vobrik-" + std::to_string(::geteuid());
    return dir[0] == '/' && PrivateDirectory(dir) ? dir : std::string();
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

namespace {

// False when the path does not fit a socket address.
bool LookupAddress(const std::string& path, sockaddr_un& address) {
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// -1 when nobody listens there (yet), 0 for no answer, 1 for an answer.
int AskToShow(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return error == ENOENT || error == ECONNREFUSED ? -1 : 0;
    }
    int answered = 0;
    static const char request[] = "show\n";
    if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) ==
        static_cast<ssize_t>(sizeof request - 1)) {
        pollfd p{fd, POLLIN, 0};
        int ready;
        while ((ready = ::poll(&p, 1, AnswerTimeoutMs)) < 0 && errno == EINTR) {
        }
        char reply[16] = {};
        if (ready == 1 && ::recv(fd, reply, sizeof reply - 1, 0) > 0)
            answered = std::strncmp(reply, "ok", 2) == 0 ? 1 : 0;
    }
    ::close(fd);
    return answered;
}

} // namespace

bool BringRunningWindowForward(const char* title, int waitMs) {
    sockaddr_un address{};
    if (!LookupAddress(WindowLookupPath(title), address))
        return false;

    constexpr int RetryMs = 50;
    for (int waited = 0;; waited += RetryMs) {
        const int outcome = AskToShow(address);
        if (outcome >= 0 || waited >= waitMs)
            return outcome == 1;
        ::usleep(RetryMs * 1000);
    }
}

TWindowLookupServer::TWindowLookupServer(const char* title, std::function<void()> show)
    : Path(WindowLookupPath(title)), Show(std::move(show)) {
    sockaddr_un address{};
    if (!LookupAddress(Path, address))
        return;
    Socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (Socket < 0)
        return;
    ::unlink(Path.c_str());
    if (::bind(Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(Socket, 4) != 0) {
        ::close(Socket);
        Socket = -1;
    }
}

TWindowLookupServer::~TWindowLookupServer() {
    if (Socket >= 0) {
        ::close(Socket);
        ::unlink(Path.c_str());
    }
}

void TWindowLookupServer::AnswerRequest() {
    const int connection = ::accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0)
        return;
    // The asking copy writes its request as soon as it is connected.
    pollfd p{connection, POLLIN, 0};
    char request[32] = {};
    if (::poll(&p, 1, 1000) == 1 && ::recv(connection, request, sizeof request - 1, 0) > 0 &&
        std::strncmp(request, "show", 4) == 0) {
        Show();
        ::send(connection, "ok\n", 3, MSG_NOSIGNAL);
    }
    ::close(connection);
}

} // namespace vobrik
