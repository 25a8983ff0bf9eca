#include "platform/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <utility>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

std::map<std::string, int>& HeldLocks() {
    static std::map<std::string, int> held;
    return held;
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
    HeldLocks()[name] = fd;
    return TLockResult::Created;
}

void ReleaseNamedLock(const char* name) {
    const auto held = HeldLocks().find(name);
    if (held == HeldLocks().end())
        return;
    ::close(held->second);
    HeldLocks().erase(held);
}

std::string WindowLookupPath(const char* title) {
    const std::string dir = RuntimeDirectory();
    return dir.empty() ? std::string() : dir + "/" + SafeName(title) + ".window";
}

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t MaxCommandSize = 64 * 1024;
constexpr int RequestTimeoutMs = 1000;

int MsLeft(TClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the socket to be ready for `events` until the deadline.
bool Ready(int fd, short events, TClock::time_point deadline) {
    pollfd p{fd, events, 0};
    int ready;
    while ((ready = ::poll(&p, 1, MsLeft(deadline))) < 0 && errno == EINTR) {
    }
    return ready == 1;
}

bool SendAll(int fd, const std::string& data, TClock::time_point deadline) {
    for (size_t sent = 0; sent < data.size();) {
        if (!Ready(fd, POLLOUT, deadline))
            return false;
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        sent += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return true;
}

// Reads one line of at most `limit` bytes, without its end.
bool ReceiveLine(int fd, std::string& line, size_t limit, TClock::time_point deadline) {
    line.clear();
    char c;
    while (line.size() <= limit) {
        if (!Ready(fd, POLLIN, deadline))
            return false;
        const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        if (n == 1 && c == '\n')
            return true;
        if (n == 1)
            line.push_back(c);
    }
    return false;
}

bool ReceiveExactly(int fd, std::string& data, size_t size, TClock::time_point deadline) {
    data.assign(size, '\0');
    for (size_t got = 0; got < size;) {
        if (!Ready(fd, POLLIN, deadline))
            return false;
        const ssize_t n = ::recv(fd, &data[got], size - got, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            return false;
        got += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return true;
}

// "WORD SIZE" with a size of at most MaxCommandSize; the size, or -1.
long SizeAfter(const std::string& line, const char* word) {
    const size_t length = std::strlen(word);
    if (line.compare(0, length, word) != 0 || line.size() == length ||
        line.size() > length + 6 || line[length] != ' ' ||
        line.find_first_not_of("0123456789", length + 1) != std::string::npos)
        return -1;
    const long size = std::atol(line.c_str() + length + 1);
    return size <= static_cast<long>(MaxCommandSize) ? size : -1;
}

bool AddressOf(const char* title, sockaddr_un& address) {
    const std::string path = WindowLookupPath(title);
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Sends the request and reads the first line of the answer, then leaves the
// rest to `more`. NobodyListens when nothing listens there (yet).
template <typename TMore>
TAskResult Exchange(const sockaddr_un& address, const std::string& request, int timeoutMs,
                    TMore more) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return TAskResult::NoAnswer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return error == ENOENT || error == ECONNREFUSED ? TAskResult::NobodyListens
                                                        : TAskResult::NoAnswer;
    }
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    const bool answered = SendAll(fd, request, deadline) && ReceiveLine(fd, line, 16, deadline) &&
                          more(fd, line, deadline);
    ::close(fd);
    return answered ? TAskResult::Answered : TAskResult::NoAnswer;
}

} // namespace

bool BringRunningWindowForward(const char* title, int waitMs) {
    sockaddr_un address{};
    if (!AddressOf(title, address))
        return false;
    constexpr int RetryMs = 50;
    for (int waited = 0;; waited += RetryMs) {
        const TAskResult outcome =
            Exchange(address, "show\n", AnswerTimeoutMs,
                     [](int, const std::string& line, TClock::time_point) { return line == "ok"; });
        if (outcome != TAskResult::NobodyListens || waited >= waitMs)
            return outcome == TAskResult::Answered;
        ::usleep(RetryMs * 1000);
    }
}

TAskResult AskRunningCopy(const char* title, const std::string& command, std::string& answer,
                          int timeoutMs) {
    sockaddr_un address{};
    if (!AddressOf(title, address))
        return TAskResult::NobodyListens;
    const std::string request = "run " + std::to_string(command.size()) + "\n" + command;
    return Exchange(address, request, timeoutMs,
                    [&answer](int fd, const std::string& line, TClock::time_point deadline) {
                        const long size = SizeAfter(line, "ok");
                        return size >= 0 && ReceiveExactly(fd, answer, static_cast<size_t>(size),
                                                           deadline);
                    });
}

namespace {

enum class TRequestKind { Show, Command, Bad };

// The request of one connection, read within timeoutMs. Show is the bare
// "show"; Command fills `command`; anything else, too long or too slow, is Bad.
TRequestKind ReadRequest(int connection, std::string& command, int timeoutMs) {
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    if (!ReceiveLine(connection, line, 16, deadline))
        return TRequestKind::Bad;
    if (line == "show")
        return TRequestKind::Show;
    const long size = SizeAfter(line, "run");
    return size >= 0 && ReceiveExactly(connection, command, static_cast<size_t>(size), deadline)
               ? TRequestKind::Command
               : TRequestKind::Bad;
}

TCommandHandler& Handler() {
    static TCommandHandler handler;
    return handler;
}

void Answer(int connection, const std::string& answer) {
    SendAll(connection, answer, TClock::now() + std::chrono::milliseconds(RequestTimeoutMs));
}

} // namespace

void SetCommandHandler(TCommandHandler handler) {
    Handler() = std::move(handler);
}

TWindowLookupServer::TWindowLookupServer(const char* title, std::function<void()> show)
    : Path(WindowLookupPath(title)), Show(std::move(show)) {
    sockaddr_un address{};
    if (!AddressOf(title, address))
        return;
    Socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (Socket < 0)
        return;
    ::unlink(Path.c_str());
    // Room for many commands started at once: each waits its turn.
    if (::bind(Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(Socket, SOMAXCONN) != 0) {
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

void TWindowLookupServer::AnswerRequest(bool busy) {
    const int connection = ::accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection < 0)
        return;
    // The asking side writes its whole request as soon as it is connected, so
    // the wait here is only ever long for a client that misbehaves.
    std::string command, answer;
    switch (ReadRequest(connection, command, RequestTimeoutMs)) {
    case TRequestKind::Show:
        Show();
        Answer(connection, "ok\n");
        break;
    case TRequestKind::Command:
        // A copy still starting has no handler yet: the asking side is told
        // nothing and reports that no answer came.
        if (Handler()) {
            answer = Handler()(command, busy);
            Answer(connection, "ok " + std::to_string(answer.size()) + "\n" + answer);
        }
        break;
    case TRequestKind::Bad:
        break;
    }
    ::close(connection);
}

} // namespace vobrik
