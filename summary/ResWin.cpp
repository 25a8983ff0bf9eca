#include "summary/ResWin.h"

#include "calendar/FrenchDate.h"
#include "calendar/NameDays.h"
#include "core/LocalTime.h"

namespace vobrik {

namespace {

// What tells one day's panel from the other's.
struct TPanelStyle {
    TColor Fill;
    TColor Date;
    TColor Names;
    TColor LineText;
    TPen Rule;
    // Today's panel has always selected the font of its reminder lines before
    // their colour, tomorrow's after; either way draws the same.
    bool LineFontFirst;
};

constexpr TPanelStyle TodayPanel{{0, 255, 255}, {0, 0, 192},      {0, 0, 128},
                                 {0, 0, 64},    {{0, 0, 200}, 1}, true};
constexpr TPanelStyle TomorrowPanel{{224, 224, 224}, {0, 128, 0},          {0, 64, 0},
                                    {0, 32, 0},      {{128, 128, 128}, 1}, false};
constexpr TPen PanelSeparator{{0, 192, 192}, 4};

constexpr int32_t TextX = 5;
constexpr int32_t NameLineStep = 20;
constexpr int32_t ReminderLineStep = 15;
constexpr size_t NameDaysCapacity = 199;

bool HasText(const TSummaryLine* line) {
    return !line->Text.empty();
}

int32_t DrawReminderLines(TDC& dc, const TSummaryLine* line, int32_t y) {
    for (; line != nullptr; line = line->Next.get()) {
        if (!HasText(line))
            continue;
        dc.TextOut(TextX, y, line->Text.c_str());
        y += ReminderLineStep;
    }
    return y;
}

void DrawRule(TDC& dc, const TPen& pen, const TRect& r, int32_t y) {
    dc.SelectObject(pen);
    dc.MoveTo(r.Left, y);
    dc.LineTo(r.Right, y);
}

void FillPanel(TDC& dc, const TBrush& brush, const TRect& r) {
    dc.SetBkColor(brush.Color);
    dc.SelectObject(brush);
    dc.SelectStockObject(TStockObject::NullPen);
    dc.Rectangle(r);
}

// One day's panel from y down: its date, its name days, a rule and its
// reminders, on a fill that reaches the bottom of r. Gives the y below them.
int32_t PaintDay(TResWin& win, TDC& dc, const TPanelStyle& style, const TRect& r, int32_t y,
                 int32_t day, const TSummaryLine* lines) {
    const TFont largeFont{"Arial", 20};
    const TFont mediumFont{"Arial", 15};
    const TFont smallFont{"Arial", 12};
    // One buffer serves the date, then the names: 199 characters and the zero.
    char text[NameDaysCapacity + 1];
    FormatFrenchDate(day, text);

    FillPanel(dc, TBrush{style.Fill}, r);
    dc.SelectObject(largeFont);
    dc.SetTextColor(style.Date);
    dc.TextOut(TextX, y + 3, text);

    dc.SetTextColor(style.Names);
    dc.SelectObject(mediumFont);
    win.NameDays(win, day, text, NameDaysCapacity);
    y += 25;
    TResWin::DrawCommaWrapped(text, dc, r, y);

    y += 5;
    DrawRule(dc, style.Rule, r, y);

    if (style.LineFontFirst)
        dc.SelectObject(smallFont);
    dc.SetTextColor(style.LineText);
    if (!style.LineFontFirst)
        dc.SelectObject(smallFont);
    y += 5;
    return DrawReminderLines(dc, lines, y);
}

} // namespace

TResWin::TResWin(IResWinOwner* owner) : Owner(owner), NameDays(LookupNameDays) {}

TResWin::~TResWin() {
    TodayLines.reset();
    TomorrowLines.reset();
    Destroy(IDCANCEL);
}

int32_t TResWin::SetupHeight() const {
    int32_t height = 55;
    for (const TSummaryLine* line = TodayLines.get(); line != nullptr; line = line->Next.get())
        if (HasText(line))
            height += ReminderLineStep;
    height += 60;
    if (TomorrowLines)
        height += 10;
    for (const TSummaryLine* line = TomorrowLines.get(); line != nullptr; line = line->Next.get())
        if (HasText(line))
            height += ReminderLineStep;
    return height;
}

void TResWin::SetupWindow(IResWinShell& shell) {
    Shell = &shell;
    Shell->SetWindowPos(Attr.X, Attr.Y, Attr.W, SetupHeight());
}

void TResWin::Paint(TDC& dc, int32_t now) {
    if (Shell == nullptr)
        return;
    TRect r = Shell->GetClientRect();
    int32_t y = PaintDay(*this, dc, TodayPanel, r, 0, now, TodayLines.get());

    DrawRule(dc, PanelSeparator, r, y + 5);
    y += 10;
    r.Top = y - 3;

    std::tm tomorrow = ToLocal(now);
    y = PaintDay(*this, dc, TomorrowPanel, r, y, NextDay(tomorrow), TomorrowLines.get());

    // A message box of the lookup may have closed the window during the paint.
    if (Shell != nullptr) {
        const int32_t height = Shell->GetClientRect().Height();
        if (height < y && !Grown) {
            Grown = true;
            y += 6;
            Shell->SetWindowPos(Attr.X, Attr.Y, Attr.W, y);
            Shell->Invalidate();
        }
        if (height >= y)
            Grown = false;
    }

    dc.RestoreObjects();
}

void TResWin::DrawCommaWrapped(char* text, TDC& dc, const TRect& clientRect, int32_t& y) {
    const int32_t limit = clientRect.Right - clientRect.Left;
    char* start = text;
    char* lastComma = text; // still the line start: no comma to break at
    int32_t width = 0;
    char* p = text;
    while (*p != '\0') {
        width += dc.GetCharWidth(static_cast<unsigned char>(*p));
        if (*p == ',')
            lastComma = p;
        if (width < limit) {
            ++p;
            continue;
        }
        char* next;
        if (lastComma != start) {
            *lastComma = '\0';
            dc.TextOut(TextX, y, start);
            next = lastComma + 1;
        } else {
            // No comma to break at: the character that overflows starts the
            // next line rather than being lost. One too wide for any line gets
            // a line of its own.
            char* end = p == start ? p + 1 : p;
            const char kept = *end;
            *end = '\0';
            dc.TextOut(TextX, y, start);
            *end = kept;
            next = end;
        }
        y += NameLineStep;
        width = 0;
        start = lastComma = p = next;
    }
    if (*start != '\0') {
        dc.TextOut(TextX, y, start);
        y += NameLineStep;
    }
}

void TResWin::EvLButtonDown(TPoint point) {
    PressPoint = point;
    Pressed = true;
}

void TResWin::EvLButtonUp(TPoint point) {
    // A release whose press happened elsewhere is no click on this window.
    if (!Pressed)
        return;
    Pressed = false;
    if (point.X == PressPoint.X && point.Y == PressPoint.Y)
        CloseWindow(0);
}

void TResWin::CloseWindow(int retValue) {
    Destroy(retValue);
}

void TResWin::Destroy(int /*retValue: only modal windows give it back*/) {
    if (Owner != nullptr)
        Owner->ClearResWin();
    Owner = nullptr;
    if (Shell != nullptr) {
        IResWinShell* shell = Shell;
        Shell = nullptr;
        shell->DestroyWindow();
    }
}

void TResWin::WindowDestroyed() {
    Shell = nullptr;
    Destroy(0);
}

int TResWin::MessageBox(const char* text, const char* caption, unsigned type) {
    // Without a screen window there is nobody to show it to; the lookup's
    // caller then draws whatever text it left.
    return Shell != nullptr ? Shell->MessageBox(text, caption, type) : IDOK;
}

} // namespace vobrik
