#pragma once

// The tray icon as a StatusNotifierItem on the session bus, for the panels
// that show only those (KDE Plasma, waybar, COSMIC, GNOME's AppIndicator
// extension). A watcher that comes or goes while the item lives is followed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {

// One size of the icon: ARGB32 pixels, row by row, in network byte order.
struct TPixmap {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Argb;
};

struct TItemEvents {
    std::function<void()> Activate;    // a left press on the icon
    std::function<void()> ContextMenu; // a right press
    std::function<void()> WatcherChanged;
};

class TStatusNotifierItem {
  public:
    // Nothing is done without a session bus: starting one is not our place.
    explicit TStatusNotifierItem(TItemEvents events);
    ~TStatusNotifierItem();
    TStatusNotifierItem(const TStatusNotifierItem&) = delete;
    TStatusNotifierItem& operator=(const TStatusNotifierItem&) = delete;

    // A watcher has taken the item: a panel shows it.
    bool IsRegistered() const;
    void SetIcon(std::vector<TPixmap> pixmaps, const std::string& iconName);
    // UTF-8.
    void SetTip(const std::string& title, const std::string& text);

    struct TImpl;

  private:
    std::unique_ptr<TImpl> Impl;
};

} // namespace vobrik
