#pragma once

// What every harness needs: a fixed zone, a scratch directory that lives as
// long as the process, and a way to stop with a clear reason when a property
// does not hold, which the fuzzer then reports with the input.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <time.h>

namespace vobrik::fuzz {

inline const std::string& ScratchDir() {
    // Never destroyed, so that the removal at exit still finds it.
    static const std::string& dir = *new std::string([] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vobrik-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchDir(), ignored);
        });
        return pattern;
    }());
    return dir;
}

inline std::string ScratchPath(const char* name) {
    return ScratchDir() + "/" + name;
}

inline void WriteScratchFile(const std::string& path, const unsigned char* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
        std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

inline void UseZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

[[noreturn]] inline void Violated(const char* property) {
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

#define VOBRIK_FUZZ_CHECK(condition)                                                               \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::vobrik::fuzz::Violated(#condition);                                                  \
    } while (false)

} // namespace vobrik::fuzz
