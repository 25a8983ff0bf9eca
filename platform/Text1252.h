#pragma once

// Windows-1252 is the program's own text; UTF-8 is what the toolkit speaks.
// Conversion happens only where the two meet.

#include <string>
#include <string_view>

namespace vobrik {

std::string Utf8FromWindows1252(std::string_view text);

// Characters that Windows-1252 cannot hold, and bytes that are not UTF-8,
// become one '?' each, so that nothing typed disappears without a trace.
std::string Windows1252FromUtf8(std::string_view text);

// Upper-cased as the C locale does it: only the ASCII letters change, the
// accented ones stay as they are.
std::string UpperCaseAscii(std::string_view text);

} // namespace vobrik
