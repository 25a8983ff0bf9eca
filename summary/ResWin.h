#pragma once

// The day-summary popup, apart from the toolkit: what it draws, how it sizes
// itself, and how it closes. A thin window of the toolkit creates it, forwards
// its paint, mouse and destroy events here, and carries out the few window
// operations asked of it through IResWinShell.

#include "core/Services.h"
#include "platform/DC.h"
#include "summary/SummaryLines.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vobrik {

class TResWin;

constexpr const char* ResWinTitle = "Résumé du jour";

// The main dialog, which keeps a pointer to the open summary. The window calls
// ClearResWin when it goes, so that the dialog can open a new summary and the
// check pass can run again. A dialog that goes first sets the window's Owner
// to none instead.
class IResWinOwner {
  public:
    virtual ~IResWinOwner() = default;
    virtual void ClearResWin() = 0;
};

// The screen window of the summary. Message boxes raised while painting are
// owned by it.
class IResWinShell : public IMessages {
  public:
    virtual TRect GetClientRect() = 0;
    // Moves and sizes the outer window, frame included, keeping its z-order
    // and without activating it.
    virtual void SetWindowPos(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    // Has the whole client area painted again, without erasing it first.
    virtual void Invalidate() = 0;
    // Destroys the screen window. No event of it reaches the TResWin afterwards.
    virtual void DestroyWindow() = 0;
};

// Where and how large the screen window is created, frame included.
struct TWindowAttr {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t W = 0;
    int32_t H = 0;
};

// Where the summary opens when the settings name no place of their own, and
// where one that would open out of sight goes instead.
constexpr TWindowAttr SummaryDefaultPlace{100, 100, 400, 200};

using TNameDayLookup =
    std::function<void(IMessages& owner, int32_t when, char* out, size_t capacity)>;

class TResWin : public IMessages {
  public:
    explicit TResWin(IResWinOwner* owner);
    TResWin(const TResWin&) = delete;
    TResWin& operator=(const TResWin&) = delete;
    // Frees the lines, then closes a window still open, telling the owner.
    ~TResWin() override;

    IResWinOwner* Owner;
    TWindowAttr Attr;
    TPoint PressPoint;
    // Filled before the screen window is set up; owned by the window.
    TSummaryLines TodayLines;
    TSummaryLines TomorrowLines;
    // Set by the paint that grows the window, so that it grows only once.
    bool Grown = false;
    // Where the name days come from; tests give their own file.
    TNameDayLookup NameDays;

    // The outer height the lines call for: 115, 15 more per line, and 10 more
    // when tomorrow has any.
    int32_t SetupHeight() const;
    // Runs once the screen window exists, before it first shows: sizes it.
    void SetupWindow(IResWinShell& shell);

    // Draws the whole client area; the dates and name days are those of `now`.
    void Paint(TDC& dc, int32_t now);

    void EvLButtonDown(TPoint point);
    void EvLButtonUp(TPoint point);
    void CloseWindow(int retValue);
    // Tells the owner, then destroys the screen window. Harmless when repeated.
    void Destroy(int retValue);
    // The screen window went by other means, its parent's destruction: the
    // owner is told as by Destroy.
    void WindowDestroyed();

    // Draws `text` from x = 5 in lines no wider than the client rectangle,
    // broken at commas; y moves past each line drawn. The text is cut in place.
    static void DrawCommaWrapped(char* text, TDC& dc, const TRect& clientRect, int32_t& y);

    // Message boxes of the name-day lookup belong to this window.
    int MessageBox(const char* text, const char* caption, unsigned type) override;

    bool IsOpen() const { return Shell != nullptr; }

  private:
    IResWinShell* Shell = nullptr;
    bool Pressed = false;
};

} // namespace vobrik
