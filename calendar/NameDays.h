#pragma once

#include "core/Services.h"

#include <cstddef>
#include <cstdint>

namespace vobrik {

// What a lookup gives when the name-day file is missing or has no entry for the
// day: 27 characters, written as 28 bytes of Windows-1252 with the zero.
constexpr char NameDaysNotFound[] = "Fichier Fêtes introuvable !";

// Gives in `out` the names celebrated on the local day of `when`, read from
// FETES.TXT on the search path on every call. Lines of the file read
// "DD/MM;text"; the texts of all lines whose key is the day's are joined in file
// order, each only while the joined text stays shorter than `capacity`.
//
// `out` must hold at least max(capacity + 1, 28) bytes; nothing is ever written
// past out[capacity], so with a smaller capacity the not-found text is cut to
// `capacity` characters.
//
// A file that is found but cannot be opened is reported through `owner`, and
// `out` is left empty. A missing file, or a file without any text for the day,
// gives NameDaysNotFound.
void LookupNameDays(IMessages& owner, int32_t when, char* out, size_t capacity);

// The same with the file already located: `path` is the name-day file, or
// nullptr when it was not found.
void LookupNameDaysIn(IMessages& owner, int32_t when, char* out, size_t capacity, const char* path);

} // namespace vobrik
