#pragma once

// A drawing surface that keeps the texts drawn, in order, with where and in
// which font height, and passes every call on to another surface when given
// one: what a paint says, for a screen reader, and what a test or a benchmark
// checks. Alone, it measures each character CharWidth wide unless given a
// width of its own.

#include "platform/DC.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vobrik {

class TRecordingDC : public TDC {
  public:
    TRecordingDC() = default;
    explicit TRecordingDC(TDC& target) : Target(&target) {}

    struct TDrawn {
        int32_t X, Y;
        std::string Text; // Windows-1252
        int32_t FontHeight;
    };
    std::vector<TDrawn> Texts;
    size_t Calls = 0; // every call, measuring included
    int32_t CharWidth = 10;
    int32_t OwnWidth[256] = {};

    // The texts drawn, one a line.
    std::string Text() const {
        std::string text;
        for (const TDrawn& drawn : Texts)
            text += (text.empty() ? "" : "\n") + drawn.Text;
        return text;
    }

    void SelectObject(const TPen& pen) override {
        Pass([&](TDC& dc) { dc.SelectObject(pen); });
    }
    void SelectObject(const TBrush& brush) override {
        Pass([&](TDC& dc) { dc.SelectObject(brush); });
    }
    void SelectObject(const TFont& font) override {
        FontHeight = font.Height;
        Pass([&](TDC& dc) { dc.SelectObject(font); });
    }
    void SelectStockObject(TStockObject object) override {
        Pass([&](TDC& dc) { dc.SelectStockObject(object); });
    }
    void RestoreObjects() override {
        Pass([&](TDC& dc) { dc.RestoreObjects(); });
    }
    void SetTextColor(TColor color) override {
        Pass([&](TDC& dc) { dc.SetTextColor(color); });
    }
    void SetBkColor(TColor color) override {
        Pass([&](TDC& dc) { dc.SetBkColor(color); });
    }
    void TextOut(int32_t x, int32_t y, const char* text) override {
        Texts.push_back({x, y, text, FontHeight});
        Pass([&](TDC& dc) { dc.TextOut(x, y, text); });
    }
    void Rectangle(const TRect& rect) override {
        Pass([&](TDC& dc) { dc.Rectangle(rect); });
    }
    void MoveTo(int32_t x, int32_t y) override {
        Pass([&](TDC& dc) { dc.MoveTo(x, y); });
    }
    void LineTo(int32_t x, int32_t y) override {
        Pass([&](TDC& dc) { dc.LineTo(x, y); });
    }
    int32_t GetCharWidth(unsigned char c) override {
        ++Calls;
        if (Target != nullptr)
            return Target->GetCharWidth(c);
        return OwnWidth[c] != 0 ? OwnWidth[c] : CharWidth;
    }

  private:
    template <typename TCall> void Pass(TCall call) {
        ++Calls;
        if (Target != nullptr)
            call(*Target);
    }

    TDC* Target = nullptr;
    int32_t FontHeight = 0;
};

} // namespace vobrik
