#pragma once

#include <string>
#include <sys/random.h>
#include <sys/types.h>

namespace vobrik {

// `bytes` random bytes from the kernel, in hexadecimal, for names no one can
// guess or have prepared; empty when the kernel gives none.
inline std::string RandomHex(size_t bytes) {
    std::string random(bytes, '\0'), hex;
    if (::getrandom(random.data(), bytes, 0) != static_cast<ssize_t>(bytes))
        return hex;
    for (const char c : random) {
        const auto byte = static_cast<unsigned char>(c);
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

} // namespace vobrik
