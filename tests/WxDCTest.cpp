// The drawing surface over wxWidgets, drawn into an off-screen bitmap on the
// private X server of the GUI tests.

#include "platform/wx/WxDC.h"

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

namespace vobrik {
namespace {

TEST(WxDC, ArialOrItsMetricTwinIsUsed) {
    const wxString face = TWxDC::ResolveFace("Arial");
    EXPECT_TRUE(face == "Arial" || face == "Liberation Sans") << face;
}

TEST(WxDC, FontCellIsAsHighAsAskedAndWidthsAreMeasuredInIt) {
    wxBitmap bitmap(200, 100, 24);
    wxMemoryDC memory(bitmap);
    TWxDC dc(memory);
    for (int32_t height : {12, 15, 20}) {
        dc.SelectObject(TFont{"Arial", height});
        EXPECT_LE(memory.GetCharHeight(), height);
        EXPECT_GE(memory.GetCharHeight(), height - 1);
        wxCoord w = 0, h = 0;
        memory.GetTextExtent(wxString::FromUTF8("\xC3\xA9"), &w, &h);
        EXPECT_EQ(w, dc.GetCharWidth(0xE9));
        EXPECT_GT(dc.GetCharWidth('W'), dc.GetCharWidth('i'));
    }
    dc.SelectObject(TFont{"Arial", 12});
    const int32_t small = dc.GetCharWidth('m');
    dc.SelectObject(TFont{"Arial", 20});
    EXPECT_GT(dc.GetCharWidth('m'), small);
}

wxColour At(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

int Count(const wxImage& image, const wxColour& colour) {
    int count = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            count += At(image, x, y) == colour;
    return count;
}

TEST(WxDC, TextCellsAreFilledWithTheBackgroundColour) {
    wxBitmap bitmap(200, 40, 24);
    {
        wxMemoryDC memory(bitmap);
        memory.SetBackground(*wxWHITE_BRUSH);
        memory.Clear();
        TWxDC dc(memory);
        dc.SelectObject(TFont{"Arial", 20});
        dc.SetTextColor({0, 0, 192});
        dc.SetBkColor({255, 0, 0});
        dc.TextOut(5, 5, "Il");
        dc.RestoreObjects();
    }
    const wxImage image = bitmap.ConvertToImage();
    EXPECT_EQ(wxColour(255, 0, 0), At(image, 6, 6)) << "top left of the cell";
    EXPECT_GT(Count(image, wxColour(0, 0, 192)), 10) << "the glyphs";
    EXPECT_EQ(wxColour(255, 255, 255), At(image, 100, 30)) << "outside the cell";
}

TEST(WxDC, RestoreObjectsPutsBackWhatTheContextHeld) {
    wxBitmap bitmap(50, 50, 24);
    wxMemoryDC memory(bitmap);
    const wxPen pen(wxColour(1, 2, 3), 3);
    const wxBrush brush(wxColour(4, 5, 6));
    memory.SetPen(pen);
    memory.SetBrush(brush);
    const wxFont font = memory.GetFont();
    {
        TWxDC dc(memory);
        dc.SelectObject(TPen{{0, 192, 192}, 4});
        dc.SelectObject(TBrush{{0, 255, 255}});
        dc.SelectObject(TFont{"Arial", 12});
        dc.SelectStockObject(TStockObject::NullPen);
        dc.RestoreObjects();
    }
    EXPECT_TRUE(memory.GetPen() == pen);
    EXPECT_TRUE(memory.GetBrush() == brush);
    EXPECT_TRUE(memory.GetFont() == font);
    EXPECT_EQ(wxBRUSHSTYLE_TRANSPARENT, memory.GetBackgroundMode());
}

} // namespace
} // namespace vobrik
