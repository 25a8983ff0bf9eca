#include "platform/WxText.h"

#include <wx/strconv.h>

#include <array>

namespace vobrik {

namespace {

// One conversion of each byte on its own, made once: a whole-text conversion
// would fail on the first undefined byte and lose the rest.
std::array<wxUniChar, 256> MakeTable() {
    std::array<wxUniChar, 256> table;
    wxCSConv cp1252(wxFONTENCODING_CP1252);
    for (int byte = 0; byte < 256; ++byte) {
        const char one[2] = {static_cast<char>(byte), '\0'};
        const wxString converted(one, cp1252);
        if (byte == 0)
            table[0] = wxUniChar(0u);
        else if (converted.length() == 1)
            table[byte] = converted[0];
        else
            table[byte] = wxUniChar('?');
    }
    return table;
}

const std::array<wxUniChar, 256>& Table() {
    static const std::array<wxUniChar, 256> table = MakeTable();
    return table;
}

} // namespace

wxUniChar FromCp1252(unsigned char byte) {
    return Table()[byte];
}

wxString FromCp1252(const char* text) {
    const auto& table = Table();
    wxString converted;
    for (const char* p = text; *p != '\0'; ++p)
        converted += table[static_cast<unsigned char>(*p)];
    return converted;
}

} // namespace vobrik
