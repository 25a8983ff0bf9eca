#pragma once

// Where Windows-1252 text meets the toolkit.

#include <wx/string.h>

namespace vobrik {

// The character a Windows-1252 byte stands for. The five bytes the code page
// leaves undefined show as '?'.
wxUniChar FromCp1252(unsigned char byte);

// A zero-terminated Windows-1252 text as the toolkit's string.
wxString FromCp1252(const char* text);

} // namespace vobrik
