#include "platform/CommandSocket.h"

#include "platform/Random.h"
#include "platform/SingleInstance.h"

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

using TClock = std::chrono::steady_clock;

constexpr int ShowTimeoutMs = 5000;
constexpr size_t MaxCommandSize = 64 * 1024;
// Far beyond any answer (an export of 100 reminders is under 200 KB).
constexpr size_t MaxAnswerSize = size_t{64} << 20;
// Connections kept at once; past that the oldest that has not sent its whole
// request is dropped, and so is one that has been silent this long.
constexpr size_t MaxConnections = 64;
constexpr auto IdleLimit = std::chrono::seconds(30);

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
        const ssize_t n =
            ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
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
    if (line.compare(0, length, word) != 0 || line.size() == length || line.size() > length + 9 ||
        line[length] != ' ' ||
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
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
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
    const bool shown = SendAll(fd, "show\n", &deadline) && ReceiveAll(fd, answer, 16, &deadline) &&
                       answer == "ok\n";
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

bool BringCopyForward(const std::string& address) {
    return Show(address);
}

std::string NewPrivateAddress() {
    const std::string random = RandomHex(16);
    return random.empty() ? random : "@vobrik-" + random;
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
                          std::string& answer, TClock::time_point deadline) {
    int fd = -1;
    const TAskResult connected = Connect(address, fd);
    if (connected != TAskResult::Answered)
        return connected;
    // The copy reads a request as soon as it comes and applies it at once; it
    // then writes the answer and closes. A copy that is stopped (Ctrl-Z, a
    // frozen display) answers nothing: closing tells it not to apply.
    const std::string request = "run " + std::to_string(command.size()) + "\n" + command;
    std::string reply;
    const bool whole =
        SendAll(fd, request, &deadline) && ReceiveAll(fd, reply, MaxAnswerSize + 16, &deadline);
    ::close(fd);
    if (!whole && TClock::now() >= deadline)
        return TAskResult::TimedOut;
    if (whole && reply == "wait\n")
        return TAskResult::NobodyListens;
    const size_t end = reply.find('\n');
    const long long size = whole && end != std::string::npos
                               ? SizeAfter(reply.substr(0, end), "ok", MaxAnswerSize)
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

struct TCommandServer::TConnection {
    std::string In, Out;
    size_t Sent = 0;
    TClock::time_point Since = TClock::now();
};

TCommandServer::TCommandServer(const char* title, std::function<void()> show, TWatch watch,
                               TUnwatch unwatch)
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

TCommandServer::~TCommandServer() {
    while (!Connections.empty())
        Close(Connections.begin()->first);
    for (const int listener : Listeners) {
        Unwatch(listener);
        ::close(listener);
    }
    if (!Listeners.empty() && !Path.empty())
        ::unlink(Path.c_str());
}

void TCommandServer::Close(int fd) {
    Unwatch(fd);
    ::close(fd);
    Connections.erase(fd);
}

void TCommandServer::Accept(int listener) {
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
            if (Connections.at(other)->Out.empty() &&
                now - Connections.at(other)->Since > IdleLimit)
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

void TCommandServer::Ready(int fd) {
    for (const int listener : Listeners)
        if (fd == listener)
            return Accept(listener);
    const auto found = Connections.find(fd);
    if (found != Connections.end())
        Serve(fd, *found->second);
}

namespace {

// The asking side has not closed its end: it still waits for the answer.
bool StillWaits(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) == 0;
}

} // namespace

void TCommandServer::Serve(int fd, TConnection& connection) {
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
        const bool whole =
            show || (size >= 0 && connection.In.size() - end - 1 >= static_cast<size_t>(size));
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
                Handler() ? Handler()(connection.In.substr(end + 1, static_cast<size_t>(size)),
                                      [fd] { return StillWaits(fd); })
                          : std::string();
            connection.Out =
                answer.empty() ? "wait\n" : "ok " + std::to_string(answer.size()) + "\n" + answer;
        }
        connection.In.clear();
        Watch(fd, true);
    }
    while (connection.Sent < connection.Out.size()) {
        const ssize_t n =
            ::send(fd, connection.Out.data() + connection.Sent,
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
