#pragma once

// The drawing surface that painting code draws on, shaped after the GDI
// device context so that a paint reads step by step like the window system's
// own. One real implementation sits over the toolkit; tests record the calls.
//
// Coordinates are pixels of the window's client area. Texts are Windows-1252.

#include <cstdint>
#include <string>

namespace vobrik {

struct TColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend bool operator==(TColor a, TColor b) {
        return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
    }
    friend bool operator!=(TColor a, TColor b) { return !(a == b); }
};

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

// Right and bottom lie just outside the rectangle.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
};

// Drawing objects are plain descriptions owned by the paint that makes them;
// the device context makes its own resources from them when they are selected.
struct TPen {
    TColor Color;
    int32_t Width = 1; // solid
};

struct TBrush {
    TColor Color; // solid
};

// Normal weight, upright, no underline or strike-out, default character set.
struct TFont {
    std::string Face;
    int32_t Height = 0; // of the character cell, ascent and descent together
};

enum class TStockObject { NullPen, NullBrush };

class TDC {
  public:
    virtual ~TDC() = default;

    virtual void SelectObject(const TPen& pen) = 0;
    virtual void SelectObject(const TBrush& brush) = 0;
    virtual void SelectObject(const TFont& font) = 0;
    virtual void SelectStockObject(TStockObject object) = 0;
    // Puts back the pen, brush and font the context held before the first
    // selection.
    virtual void RestoreObjects() = 0;

    virtual void SetTextColor(TColor color) = 0;
    // Text cells are filled with this colour: the background mode is opaque.
    virtual void SetBkColor(TColor color) = 0;

    // Draws the whole zero-terminated text with the top of its cell at y.
    virtual void TextOut(int32_t x, int32_t y, const char* text) = 0;
    // Fills with the brush and outlines with the pen; with the null pen it is
    // a plain fill of the rectangle.
    virtual void Rectangle(const TRect& rect) = 0;
    virtual void MoveTo(int32_t x, int32_t y) = 0;
    // Draws with the pen from the current position, which then moves to (x, y).
    virtual void LineTo(int32_t x, int32_t y) = 0;

    // The advance width of one character in the selected font.
    virtual int32_t GetCharWidth(unsigned char c) = 0;
};

} // namespace vobrik
