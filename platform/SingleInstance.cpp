#include "platform/SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstdio>
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

using TClock = std::chrono::steady_clock;

constexpr int ShowTimeoutMs = 5000;
constexpr size_t MaxCommandSize = 64 * 1024;
// Far beyond any answer (an export of 100 reminders is under 200 KB).
constexpr size_t MaxAnswerSize = size_t{64} << 20;
// Connections kept at once; past that the oldest that has not sent its whole
// request is dropped, and so is one that has been silent this long.
constexpr size_t MaxConnections = 64;
constexpr auto IdleLimit = std::chrono::seconds(30);

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

int MsLeft(TClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the socket to be ready for `events` until the deadline, or for
// as long as it takes without one.
bool Ready(int fd, short events, const TClock::time_point* deadline) {
    pollfd p{fd, events, 0};
    int ready;
    while ((ready = ::poll(&p, 1, deadline ? MsLeft(*deadline) : -1)) < 0 && errno == EINTR) {
    }
    return ready == 1;
}

bool SendAll(int fd, const std::string& data, const TClock::time_point* deadline) {
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

// Reads until the other side closes, at most `limit` bytes.
bool ReceiveAll(int fd, std::string& data, size_t limit, const TClock::time_point* deadline) {
    data.clear();
    char buffer[65536];
    for (;;) {
        if (!Ready(fd, POLLIN, deadline))
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0)
            return true;
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            data.append(buffer, static_cast<size_t>(n));
        if (data.size() > limit)
            return false;
    }
}

// "WORD SIZE" with a size of at most `limit`; the size, or -1.
long long SizeAfter(const std::string& line, const char* word, size_t limit) {
    const size_t length = std::strlen(word);
    if (line.compare(0, length, word) != 0 || line.size() == length ||
        line.size() > length + 9 || line[length] != ' ' ||
        line.find_first_not_of("0123456789", length + 1) != std::string::npos)
        return -1;
    const long long size = std::atoll(line.c_str() + length + 1);
    return size <= static_cast<long long>(limit) ? size : -1;
}

// A path, or "@name" in the abstract namespace, which needs no directory and
// has no length trouble with a long runtime directory.
bool AddressOf(const std::string& name, sockaddr_un& address, socklen_t& length) {
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@')
        address.sun_path[0] = '\0';
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                    (name[0] == '@' ? 0 : 1));
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

// A connection to the address, checked to be this user's: NobodyListens when
// nothing listens there (yet).
TAskResult Connect(const std::string& name, int& fd) {
    sockaddr_un address;
    socklen_t length;
    if (!AddressOf(name, address, length))
        return TAskResult::NobodyListens;
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return TAskResult::Gone;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        return error == ENOENT || error == ECONNREFUSED ? TAskResult::NobodyListens
                                                        : TAskResult::Gone;
    }
    if (!PeerIsThisUser(fd)) {
        ::close(fd);
        return TAskResult::NotOurs;
    }
    return TAskResult::Answered;
}

bool Show(const std::string& address) {
    int fd = -1;
    if (Connect(address, fd) != TAskResult::Answered)
        return false;
    const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(ShowTimeoutMs);
    std::string answer;
    const bool shown = SendAll(fd, "show\n", &deadline) &&
                       ReceiveAll(fd, answer, 16, &deadline) && answer == "ok\n";
    ::close(fd);
    return shown;
}

std::vector<int>& ExtraListeners() {
    static std::vector<int> listeners;
    return listeners;
}

TCommandHandler& Handler() {
    static TCommandHandler handler;
    return handler;
}

} // namespace

namespace {

// Room left in a socket's path for the names placed in the directory.
constexpr size_t MaxDirectoryLength = sizeof(sockaddr_un::sun_path) - 24;

std::string Absolute(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] == '/' ? value : "";
}

std::string HomeDirectory() {
    std::string home = Absolute("HOME");
    if (home.empty()) {
        const passwd* account = ::getpwuid(::geteuid());
        home = account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
    }
    return home;
}

// Tells whose a place is that cannot be used, once.
void SayWhose(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || st.st_uid == ::geteuid())
        return;
    const passwd* owner = ::getpwuid(st.st_uid);
    const std::string name = owner != nullptr ? owner->pw_name : std::to_string(st.st_uid);
    std::fprintf(stderr, "vobrik : %s appartient \xC3\xA0 %s ; Vobrik ne s'en sert pas\n",
                 path.c_str(), name.c_str());
}

} // namespace

std::string RuntimeDirectory() {
    // The session's runtime directory when it has one, so that every copy
    // started in the session meets the same lock; without one, a private
    // folder in the shared temporary folder, and where someone else holds
    // that name, one in the user's own cache.
    std::vector<std::string> places;
    const std::string runtime = Absolute("XDG_RUNTIME_DIR");
    if (!runtime.empty())
        places.push_back(runtime + "/vobrik");
    const std::string temporary = Absolute("TMPDIR");
    places.push_back((temporary.empty() ? "/tmp" : temporary) + "/vobrik-" +
                     std::to_string(::geteuid()));
    const std::string cache = Absolute("XDG_CACHE_HOME");
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
        if (Show(path))
            return true;
        if (waited >= waitMs || ::access(path.c_str(), F_OK) != 0)
            return false;
        ::usleep(RetryMs * 1000);
    }
    return false;
}

bool BringCopyForward(const std::string& address) {
    return Show(address);
}

// --- the folder's guard --------------------------------------------------

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
    return address.empty() ? TState::Busy : TState::HeldByCopy;
}

bool TFolderGuard::Announce(const std::string& address) {
    return Fd >= 0 && ::pwrite(Fd, address.data(), address.size(), 0) ==
                          static_cast<ssize_t>(address.size());
}

std::string NewPrivateAddress() {
    unsigned char random[16] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        return {};
    std::string address = "@vobrik-";
    for (const unsigned char byte : random) {
        address += "0123456789abcdef"[byte >> 4];
        address += "0123456789abcdef"[byte & 15];
    }
    return address;
}

int ListenAt(const std::string& name) {
    sockaddr_un address;
    socklen_t length;
    if (!AddressOf(name, address, length))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (name[0] != '@')
        ::unlink(name.c_str());
    // Room for many commands started at once: each waits its turn.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void ServeAlso(int listener) {
    if (listener >= 0)
        ExtraListeners().push_back(listener);
}

TAskResult AskRunningCopy(const std::string& address, const std::string& command,
                          std::string& answer) {
    int fd = -1;
    const TAskResult connected = Connect(address, fd);
    if (connected != TAskResult::Answered)
        return connected;
    // The copy reads a request as soon as it comes and applies it at once; it
    // then writes the answer and closes. Nothing here gives up while it lives.
    const std::string request = "run " + std::to_string(command.size()) + "\n" + command;
    std::string reply;
    const bool whole = SendAll(fd, request, nullptr) &&
                       ReceiveAll(fd, reply, MaxAnswerSize + 16, nullptr);
    ::close(fd);
    if (whole && reply == "wait\n")
        return TAskResult::NobodyListens;
    const size_t end = reply.find('\n');
    const long long size =
        whole && end != std::string::npos ? SizeAfter(reply.substr(0, end), "ok", MaxAnswerSize)
                                          : -1;
    if (size < 0 || reply.size() - end - 1 != static_cast<size_t>(size))
        return TAskResult::Gone;
    answer = reply.substr(end + 1);
    return TAskResult::Answered;
}

void SetCommandHandler(TCommandHandler handler) {
    Handler() = std::move(handler);
}

// --- the running copy's side ---------------------------------------------

struct TWindowLookupServer::TConnection {
    std::string In, Out;
    size_t Sent = 0;
    TClock::time_point Since = TClock::now();
};

TWindowLookupServer::TWindowLookupServer(const char* title, std::function<void()> show,
                                         TWatch watch, TUnwatch unwatch)
    : Path(WindowLookupPath(title)), Show(std::move(show)), Watch(std::move(watch)),
      Unwatch(std::move(unwatch)) {
    const int own = Path.empty() ? -1 : ListenAt(Path);
    if (own >= 0)
        Listeners.push_back(own);
    Listeners.insert(Listeners.end(), ExtraListeners().begin(), ExtraListeners().end());
    ExtraListeners().clear();
    for (const int listener : Listeners)
        Watch(listener, false);
}

TWindowLookupServer::~TWindowLookupServer() {
    while (!Connections.empty())
        Close(Connections.begin()->first);
    for (const int listener : Listeners) {
        Unwatch(listener);
        ::close(listener);
    }
    if (!Listeners.empty() && !Path.empty())
        ::unlink(Path.c_str());
}

void TWindowLookupServer::Close(int fd) {
    Unwatch(fd);
    ::close(fd);
    Connections.erase(fd);
}

void TWindowLookupServer::Accept(int listener) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (!PeerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        // A crowd of silent connections costs a descriptor each, no more.
        const auto now = TClock::now();
        for (auto i = Connections.begin(); i != Connections.end();) {
            const int other = (i++)->first;
            if (Connections.at(other)->Out.empty() && now - Connections.at(other)->Since > IdleLimit)
                Close(other);
        }
        if (Connections.size() >= MaxConnections) {
            auto oldest = Connections.end();
            for (auto i = Connections.begin(); i != Connections.end(); ++i)
                if (i->second->Out.empty() &&
                    (oldest == Connections.end() || i->second->Since < oldest->second->Since))
                    oldest = i;
            if (oldest != Connections.end())
                Close(oldest->first);
        }
        Connections[fd] = std::make_unique<TConnection>();
        Watch(fd, false);
    }
}

void TWindowLookupServer::Ready(int fd, bool busy) {
    for (const int listener : Listeners)
        if (fd == listener)
            return Accept(listener);
    const auto found = Connections.find(fd);
    if (found != Connections.end())
        Serve(fd, *found->second, busy);
}

void TWindowLookupServer::Serve(int fd, TConnection& connection, bool busy) {
    if (connection.Out.empty()) {
        // Reads what has come; the request is whole once its line and size are.
        bool closed = false;
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                connection.In.append(buffer, static_cast<size_t>(n));
            if (n == 0)
                closed = true;
            if (n <= 0 && !(n < 0 && errno == EINTR))
                break;
        }
        const size_t end = connection.In.find('\n');
        const long long size = end == std::string::npos
                                   ? -1
                                   : SizeAfter(connection.In.substr(0, end), "run", MaxCommandSize);
        const bool show = end != std::string::npos && connection.In.compare(0, end, "show") == 0;
        const bool whole = show || (size >= 0 && connection.In.size() - end - 1 >=
                                                     static_cast<size_t>(size));
        // A bad or oversized request, and one whose command has gone away, is
        // dropped unanswered and never applied.
        if (closed || (end == std::string::npos ? connection.In.size() > 16 : !show && size < 0))
            return Close(fd);
        if (!whole)
            return;
        if (show) {
            Show();
            connection.Out = "ok\n";
        } else {
            // No answer yet from a copy still starting: the asking side waits
            // and asks again; nothing was applied.
            const std::string answer =
                Handler() ? Handler()(connection.In.substr(end + 1, static_cast<size_t>(size)), busy)
                          : std::string();
            connection.Out =
                answer.empty() ? "wait\n" : "ok " + std::to_string(answer.size()) + "\n" + answer;
        }
        connection.In.clear();
        Watch(fd, true);
    }
    while (connection.Sent < connection.Out.size()) {
        const ssize_t n = ::send(fd, connection.Out.data() + connection.Sent,
                                 connection.Out.size() - connection.Sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return;
        if (n <= 0)
            break;
        connection.Sent += static_cast<size_t>(n);
    }
    Close(fd);
}

} // namespace vobrik
