#include "platform/wx/WxText.h"

#include "platform/Text1252.h"

namespace vobrik {

wxString FromWindows1252(std::string_view text) {
    return wxString::FromUTF8(Utf8FromWindows1252(text));
}

std::string ToWindows1252(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return Windows1252FromUtf8(std::string_view(utf8.data(), utf8.length()));
}

} // namespace vobrik
