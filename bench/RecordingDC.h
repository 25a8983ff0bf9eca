#pragma once

// A drawing surface that draws nothing and records every call, so that a
// paint can be checked call by call.

#include "platform/DC.h"

#include <string>
#include <vector>

namespace vobrik::test {

std::string Describe(TColor color);
std::string Describe(const TPen& pen);
std::string Describe(const TBrush& brush);
std::string Describe(const TFont& font);

class RecordingDC : public TDC {
  public:
    // What the context holds before anything is selected.
    static constexpr const char* OriginalFont = "original font";

    // Every call in order, one line each, for example "TextOut 5 3 Lundi".
    std::vector<std::string> Calls;

    struct DrawnText {
        int32_t X;
        int32_t Y;
        std::string Text;
        std::string Font;
    };
    std::vector<DrawnText> Texts;

    struct DrawnLine {
        int32_t FromX, FromY, ToX, ToY;
    };
    std::vector<DrawnLine> Lines;

    struct Fill {
        TRect Rect;
    };
    std::vector<Fill> Fills;

    std::string Font = OriginalFont;

    // Every character is this wide unless given a width of its own.
    int32_t CharWidth = 10;
    int32_t OwnWidth[256] = {};

    void SelectObject(const TPen& pen) override;
    void SelectObject(const TBrush& brush) override;
    void SelectObject(const TFont& font) override;
    void SelectStockObject(TStockObject object) override;
    void RestoreObjects() override;
    void SetTextColor(TColor color) override;
    void SetBkColor(TColor color) override;
    void TextOut(int32_t x, int32_t y, const char* text) override;
    void Rectangle(const TRect& rect) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    int32_t GetCharWidth(unsigned char c) override;

    // The calls without the measuring ones.
    std::vector<std::string> DrawingCalls() const;
    // The y of each text drawn, in order.
    std::vector<int32_t> TextTops() const;
    std::vector<std::string> TextStrings() const;

  private:
    int32_t CurrentX = 0;
    int32_t CurrentY = 0;
};

} // namespace vobrik::test
