#pragma once

// Where the program's Windows-1252 text meets the toolkit's Unicode. Both ways
// go through Text1252: every stored byte shows as its character and comes back
// as the same byte, and typed characters Windows-1252 cannot hold become '?'.

#include <wx/string.h>

#include <string>
#include <string_view>

namespace vobrik {

wxString FromWindows1252(std::string_view text);
std::string ToWindows1252(const wxString& text);

} // namespace vobrik
