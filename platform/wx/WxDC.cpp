#include "platform/wx/WxDC.h"

#include "platform/wx/WxText.h"

#include <wx/fontenum.h>

#include <string_view>

namespace vobrik {

namespace {

wxColour ToWx(TColor color) {
    return wxColour(color.Red, color.Green, color.Blue);
}

// Metric-compatible stand-ins for faces that may be missing.
const char* StandInFor(const std::string& face) {
    if (face == "Arial")
        return "Liberation Sans";
    return nullptr;
}

wxFont MakeFont(const wxString& face, double points) {
    return wxFont(wxFontInfo(points).FaceName(face));
}

// Fonts here are asked for by the height of their character cell, ascent and
// descent together, as the window system this program was laid out for sizes
// them; the toolkit sizes them in points, and rounds a pixel size to whole
// points. Finds the largest size whose cell is no taller than asked, once per
// face and height.
double PointsFor(wxDC& dc, const wxString& face, int32_t cellHeight) {
    static std::map<std::pair<wxString, int32_t>, double> known;
    const auto key = std::make_pair(face, cellHeight);
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    double fits = 0.5;
    double tooTall = cellHeight > 1 ? cellHeight : 1.0; // a cell is taller than a point
    while (tooTall - fits > 0.05) {
        const double middle = (fits + tooTall) / 2;
        dc.SetFont(MakeFont(face, middle));
        if (dc.GetCharHeight() <= cellHeight)
            fits = middle;
        else
            tooTall = middle;
    }
    known.emplace(key, fits);
    return fits;
}

} // namespace

wxString TWxDC::ResolveFace(const std::string& face) {
    static std::map<std::string, wxString> known;
    const auto found = known.find(face);
    if (found != known.end())
        return found->second;
    wxString resolved = FromWindows1252(face);
    const char* standIn = StandInFor(face);
    if (!wxFontEnumerator::IsValidFacename(resolved) && standIn != nullptr &&
        wxFontEnumerator::IsValidFacename(standIn))
        resolved = standIn;
    known.emplace(face, resolved);
    return resolved;
}

TWxDC::TWxDC(wxDC& dc)
    : DC(dc), OldPen(dc.GetPen()), OldBrush(dc.GetBrush()), OldFont(dc.GetFont()),
      OldBackgroundMode(dc.GetBackgroundMode()) {
    // Text cells are filled with the background colour, as a GDI context does
    // until told otherwise; the toolkit's default is to leave them clear.
    DC.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
}

TWxDC::~TWxDC() {
    DC.SetBackgroundMode(OldBackgroundMode);
}

void TWxDC::SelectObject(const TPen& pen) {
    DC.SetPen(wxPen(ToWx(pen.Color), pen.Width, wxPENSTYLE_SOLID));
}

void TWxDC::SelectObject(const TBrush& brush) {
    DC.SetBrush(wxBrush(ToWx(brush.Color), wxBRUSHSTYLE_SOLID));
}

TWxDC::TFontEntry& TWxDC::FontFor(const TFont& font) {
    const auto key = std::make_pair(font.Face, font.Height);
    auto found = Fonts.find(key);
    if (found == Fonts.end()) {
        const wxString face = ResolveFace(font.Face);
        TFontEntry entry{MakeFont(face, PointsFor(DC, face, font.Height)), {}};
        entry.Widths.fill(-1);
        found = Fonts.emplace(key, entry).first;
    }
    return found->second;
}

void TWxDC::SelectObject(const TFont& font) {
    Selected = &FontFor(font);
    DC.SetFont(Selected->Font);
}

void TWxDC::SelectStockObject(TStockObject object) {
    if (object == TStockObject::NullPen)
        DC.SetPen(*wxTRANSPARENT_PEN);
    else
        DC.SetBrush(*wxTRANSPARENT_BRUSH);
}

void TWxDC::RestoreObjects() {
    DC.SetPen(OldPen);
    DC.SetBrush(OldBrush);
    DC.SetFont(OldFont);
    Selected = nullptr;
}

void TWxDC::SetTextColor(TColor color) {
    DC.SetTextForeground(ToWx(color));
}

void TWxDC::SetBkColor(TColor color) {
    DC.SetTextBackground(ToWx(color));
}

void TWxDC::TextOut(int32_t x, int32_t y, const char* text) {
    DC.DrawText(FromWindows1252(text), x, y);
}

void TWxDC::Rectangle(const TRect& rect) {
    DC.DrawRectangle(rect.Left, rect.Top, rect.Width(), rect.Height());
}

void TWxDC::MoveTo(int32_t x, int32_t y) {
    Current = wxPoint(x, y);
}

void TWxDC::LineTo(int32_t x, int32_t y) {
    DC.DrawLine(Current, wxPoint(x, y));
    Current = wxPoint(x, y);
}

int32_t TWxDC::GetCharWidth(unsigned char c) {
    int32_t* cached = Selected != nullptr ? &Selected->Widths[c] : nullptr;
    if (cached != nullptr && *cached >= 0)
        return *cached;
    wxCoord width = 0;
    wxCoord height = 0;
    const char one = static_cast<char>(c);
    DC.GetTextExtent(FromWindows1252(std::string_view(&one, 1)), &width, &height);
    if (cached != nullptr)
        *cached = width;
    return width;
}

} // namespace vobrik
