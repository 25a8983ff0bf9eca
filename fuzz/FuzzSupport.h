#pragma once

// What every harness needs: a fixed zone, a scratch directory that lives as
// long as the process, and a way to stop with a clear reason when a property
// does not hold, which the fuzzer then reports with the input.

#include "core/FileOps.h"

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

// The real system calls without the syncs, which would only slow the fuzzer.
class UnsyncedFileOps : public IFileOps {
  public:
    int Open(const char* path, int flags, mode_t mode) override {
        return SystemFileOps().Open(path, flags, mode);
    }
    ssize_t Read(int fd, void* buffer, size_t size) override {
        return SystemFileOps().Read(fd, buffer, size);
    }
    ssize_t Write(int fd, const void* buffer, size_t size) override {
        return SystemFileOps().Write(fd, buffer, size);
    }
    int Fsync(int) override { return 0; }
    int Close(int fd) override { return SystemFileOps().Close(fd); }
    int Rename(const char* from, const char* to) override {
        return SystemFileOps().Rename(from, to);
    }
    int Unlink(const char* path) override { return SystemFileOps().Unlink(path); }
};

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
