#pragma once

// The notification-area icon. The window named in the record receives its
// callback message with the icon id as wParam and the mouse message
// (WM_LBUTTONDOWN, WM_RBUTTONDOWN...) as lParam.

#include <cstdint>
#include <memory>

namespace vobrik {

class TWindow;

// An icon group of the program's resources.
class TIcon {
  public:
    explicit TIcon(int iconGroup);
    ~TIcon();
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;
    bool IsOk() const;

  private:
    friend class TTrayIcon;
    struct TImages;
    std::unique_ptr<TImages> Images;
};

constexpr unsigned NIM_ADD = 0;
constexpr unsigned NIM_MODIFY = 1;
constexpr unsigned NIM_DELETE = 2;
constexpr unsigned NIF_MESSAGE = 1;
constexpr unsigned NIF_ICON = 2;
constexpr unsigned NIF_TIP = 4;

struct NOTIFYICONDATA {
    uint32_t cbSize = 0;
    TWindow* hWnd = nullptr;
    unsigned uID = 0;
    unsigned uFlags = 0;
    unsigned uCallbackMessage = 0;
    const TIcon* hIcon = nullptr; // copied by the call; may be freed afterwards
    char szTip[64] = {};          // Windows-1252
};

// Adds, changes or removes the icon of (hWnd, uID). False when that cannot be
// done, such as adding an icon twice or removing one that is not there.
bool Shell_NotifyIcon(unsigned message, NOTIFYICONDATA* data);

// Sets the tip of the icon of (window, id), in Windows-1252, without the
// record's 64-byte limit: the tip may name a reminder in full. False when
// there is no such icon.
bool SetTrayIconTip(TWindow* window, unsigned id, const char* tip);

// Whether a notification area is there to show the icons.
bool IsSystemTrayAvailable();

// Removes every icon; for an end that skips the windows' own clean-up.
void RemoveAllTrayIcons();

} // namespace vobrik
