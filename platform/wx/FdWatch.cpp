#include "platform/wx/FdWatch.h"

#include <glib-unix.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <utility>

namespace vobrik {

// Outlives the watch while its call runs: GLib frees it when the source goes.
struct TFdWatch::TShared {
    std::function<void()> Ready;
    unsigned Source = 0;
};

namespace {

gboolean OnReady(gint, GIOCondition, gpointer data) {
    const auto ready = static_cast<TFdWatch::TShared*>(data)->Ready;
    ready();
    return G_SOURCE_CONTINUE;
}

void Free(gpointer data) {
    delete static_cast<TFdWatch::TShared*>(data);
}

} // namespace

TFdWatch::TFdWatch(int fd, bool forWriting, std::function<void()> ready)
    : Shared(new TShared{std::move(ready)}) {
    const auto condition =
        static_cast<GIOCondition>((forWriting ? G_IO_OUT : G_IO_IN) | G_IO_HUP | G_IO_ERR);
    Shared->Source = g_unix_fd_add_full(G_PRIORITY_DEFAULT, fd, condition, OnReady, Shared, Free);
}

TFdWatch::~TFdWatch() {
    g_source_remove(Shared->Source);
}

TFileWatch::TFileWatch(const char* folder, std::string name, std::function<void()> changed)
    : Fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), Name(std::move(name)),
      Changed(std::move(changed)) {
    // The folder is watched, not the file: a file replaced by a rename (as
    // every careful program saves) is a new file.
    constexpr uint32_t Events =
        IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB;
    if (Fd >= 0 && inotify_add_watch(Fd, folder, Events) >= 0)
        Watch = std::make_unique<TFdWatch>(Fd, false, [this] { Read(); });
}

TFileWatch::~TFileWatch() {
    Watch.reset();
    if (Fd >= 0)
        ::close(Fd);
}

void TFileWatch::Read() {
    alignas(inotify_event) char buffer[4096];
    bool ours = false;
    ssize_t n;
    while ((n = ::read(Fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            ours = ours || (event->len > 0 && Name == event->name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (ours)
        Changed();
}

} // namespace vobrik
