#pragma once

// The day summary's screen window on the toolkit: a captionless, bordered,
// always-on-top window at the place the settings give, which hands its paint,
// clicks and end to the TResWin it owns.

#include "summary/ResWin.h"

#include <memory>

class wxWindow;

namespace vobrik {

// Pixels of the drawn border on each side: a dark line and a raised edge.
constexpr int32_t SummaryFrameThickness = 3;

// Creates the window as a child of `parent` from the window's creation
// attributes, sets it up and shows it without taking the focus. The window
// owns `win` and frees it when it goes; the owner learns of that through
// ClearResWin. Gives the TResWin, or none when no window could be made.
TResWin* OpenSummaryPopup(std::unique_ptr<TResWin> win, wxWindow* parent);

// The toolkit window that shows `win`, for tests; none once it has closed.
wxWindow* SummaryPopupWindow(const TResWin& win);

} // namespace vobrik
