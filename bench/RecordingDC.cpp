#include "RecordingDC.h"

namespace vobrik::test {

std::string Describe(TColor color) {
    return "(" + std::to_string(color.Red) + "," + std::to_string(color.Green) + "," +
           std::to_string(color.Blue) + ")";
}

std::string Describe(const TPen& pen) {
    return "pen " + Describe(pen.Color) + " " + std::to_string(pen.Width);
}

std::string Describe(const TBrush& brush) {
    return "brush " + Describe(brush.Color);
}

std::string Describe(const TFont& font) {
    return "font " + font.Face + " " + std::to_string(font.Height);
}

void RecordingDC::SelectObject(const TPen& pen) {
    Calls.push_back("SelectObject " + Describe(pen));
}

void RecordingDC::SelectObject(const TBrush& brush) {
    Calls.push_back("SelectObject " + Describe(brush));
}

void RecordingDC::SelectObject(const TFont& font) {
    Font = Describe(font);
    Calls.push_back("SelectObject " + Font);
}

void RecordingDC::SelectStockObject(TStockObject object) {
    Calls.push_back(object == TStockObject::NullPen ? "SelectStockObject NULL_PEN"
                                                    : "SelectStockObject NULL_BRUSH");
}

void RecordingDC::RestoreObjects() {
    Font = OriginalFont;
    Calls.push_back("RestoreObjects");
}

void RecordingDC::SetTextColor(TColor color) {
    Calls.push_back("SetTextColor " + Describe(color));
}

void RecordingDC::SetBkColor(TColor color) {
    Calls.push_back("SetBkColor " + Describe(color));
}

void RecordingDC::TextOut(int32_t x, int32_t y, const char* text) {
    Texts.push_back({x, y, text, Font});
    Calls.push_back("TextOut " + std::to_string(x) + " " + std::to_string(y) + " " + text);
}

void RecordingDC::Rectangle(const TRect& rect) {
    Fills.push_back({rect});
    Calls.push_back("Rectangle " + std::to_string(rect.Left) + " " + std::to_string(rect.Top) +
                    " " + std::to_string(rect.Right) + " " + std::to_string(rect.Bottom));
}

void RecordingDC::MoveTo(int32_t x, int32_t y) {
    CurrentX = x;
    CurrentY = y;
    Calls.push_back("MoveTo " + std::to_string(x) + " " + std::to_string(y));
}

void RecordingDC::LineTo(int32_t x, int32_t y) {
    Lines.push_back({CurrentX, CurrentY, x, y});
    CurrentX = x;
    CurrentY = y;
    Calls.push_back("LineTo " + std::to_string(x) + " " + std::to_string(y));
}

int32_t RecordingDC::GetCharWidth(unsigned char c) {
    Calls.push_back("GetCharWidth " + std::to_string(c));
    return OwnWidth[c] != 0 ? OwnWidth[c] : CharWidth;
}

std::vector<std::string> RecordingDC::DrawingCalls() const {
    std::vector<std::string> calls;
    for (const auto& call : Calls)
        if (call.compare(0, 13, "GetCharWidth ") != 0)
            calls.push_back(call);
    return calls;
}

std::vector<int32_t> RecordingDC::TextTops() const {
    std::vector<int32_t> tops;
    for (const auto& text : Texts)
        tops.push_back(text.Y);
    return tops;
}

std::vector<std::string> RecordingDC::TextStrings() const {
    std::vector<std::string> strings;
    for (const auto& text : Texts)
        strings.push_back(text.Text);
    return strings;
}

} // namespace vobrik::test
