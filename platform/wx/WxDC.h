#pragma once

// The drawing surface over a wxWidgets device context, for one paint.
//
// Fonts are asked for by face and character-cell height. "Arial" stands for
// its metric twin "Liberation Sans" where it is not installed (the
// fonts-liberation package), so that texts keep the widths they were laid out
// for; any other missing face is left to fontconfig's substitution.

#include "platform/DC.h"

#include <wx/dc.h>

#include <array>
#include <map>
#include <string>
#include <utility>

namespace vobrik {

class TWxDC : public TDC {
  public:
    explicit TWxDC(wxDC& dc);
    ~TWxDC() override;
    TWxDC(const TWxDC&) = delete;
    TWxDC& operator=(const TWxDC&) = delete;

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

    // The face drawn for `face`: itself, or its installed stand-in.
    static wxString ResolveFace(const std::string& face);

  private:
    struct TFontEntry {
        wxFont Font;
        std::array<int32_t, 256> Widths; // -1 until measured
    };
    TFontEntry& FontFor(const TFont& font);

    wxDC& DC;
    wxPen OldPen;
    wxBrush OldBrush;
    wxFont OldFont;
    int OldBackgroundMode;
    wxPoint Current;
    std::map<std::pair<std::string, int32_t>, TFontEntry> Fonts;
    TFontEntry* Selected = nullptr;
};

} // namespace vobrik
