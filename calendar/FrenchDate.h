#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vobrik {

// Bytes of the longest date text, "Mercredi 11 septembre 2002", with its
// terminating zero.
constexpr size_t FrenchDateSize = 27;

// Writes the long French date of the local day of `when` into `out`, for
// example "Dimanche 5 janvier 2003", in Windows-1252. `out` must hold at least
// FrenchDateSize bytes; it is overwritten and returned.
char* FormatFrenchDate(int32_t when, char* out);

// The same day in running text, weekday in lower case with a single blank:
// "mardi 5 janvier 2027", in Windows-1252.
std::string FrenchDayInText(int32_t when);

// The local clock time of `when`, "09:05".
std::string ClockTime(int32_t when);

} // namespace vobrik
