#pragma once

#include <cstddef>

namespace vobrik {

// A file of resources/ built into the program.
struct TEmbeddedFile {
    const char* Name;
    const unsigned char* Data;
    size_t Size;
};

extern const TEmbeddedFile EmbeddedFiles[];
extern const size_t EmbeddedFileCount;

} // namespace vobrik
