#pragma once

// Windows-1252 is the program's own text; UTF-8 is what the toolkit speaks.
// Conversion happens only where the two meet.

#include <string>
#include <string_view>

namespace vobrik {

std::string Utf8FromWindows1252(std::string_view text);

// The text is first composed (a letter and a separate accent become one
// character); the typographic spaces and hyphens of French text become their
// nearest Windows-1252 character. What is still outside Windows-1252 becomes
// one '?' per character as the user sees it (a flag or a joined emoji is one),
// and each byte that is not UTF-8 one '?', so nothing disappears unseen.
std::string Windows1252FromUtf8(std::string_view text);

// Whether the bytes are valid UTF-8 (no overlong form, no surrogate).
bool IsUtf8(std::string_view text);

// Text from one charset to another through iconv. What the other side cannot
// take, or what is not of the first charset, becomes a '?' per byte, and
// *whole (when given) says whether anything did; a charset iconv does not know
// leaves the text as it is, and not whole.
std::string Recoded(std::string_view text, const char* to, const char* from, bool* whole = nullptr);

// The last grapheme cluster of UTF-8 text: what the user sees as its last
// character, however many code points make it.
std::string LastGrapheme(std::string_view utf8);

// How many characters UTF-8 text holds, as a terminal's columns count them
// (one per code point; combining and wide characters are not told apart).
size_t CharacterCount(std::string_view utf8);

// Upper-cased as the C locale does it: only the ASCII letters change, the
// accented ones stay as they are.
std::string UpperCaseAscii(std::string_view text);

} // namespace vobrik
