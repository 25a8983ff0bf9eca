#pragma once

// A drawing surface that passes everything on to another and keeps the texts
// drawn, in order: what a paint says, for a screen reader.

#include "platform/DC.h"

#include <string>

namespace vobrik {

class TTextTap : public TDC {
  public:
    explicit TTextTap(TDC& dc) : Dc(dc) {}

    // The texts drawn, one a line; Windows-1252.
    std::string Text;

    void SelectObject(const TPen& pen) override { Dc.SelectObject(pen); }
    void SelectObject(const TBrush& brush) override { Dc.SelectObject(brush); }
    void SelectObject(const TFont& font) override { Dc.SelectObject(font); }
    void SelectStockObject(TStockObject object) override { Dc.SelectStockObject(object); }
    void RestoreObjects() override { Dc.RestoreObjects(); }
    void SetTextColor(TColor color) override { Dc.SetTextColor(color); }
    void SetBkColor(TColor color) override { Dc.SetBkColor(color); }
    void TextOut(int32_t x, int32_t y, const char* text) override {
        Text += std::string(Text.empty() ? "" : "\n") + text;
        Dc.TextOut(x, y, text);
    }
    void Rectangle(const TRect& rect) override { Dc.Rectangle(rect); }
    void MoveTo(int32_t x, int32_t y) override { Dc.MoveTo(x, y); }
    void LineTo(int32_t x, int32_t y) override { Dc.LineTo(x, y); }
    int32_t GetCharWidth(unsigned char c) override { return Dc.GetCharWidth(c); }

  private:
    TDC& Dc;
};

} // namespace vobrik
