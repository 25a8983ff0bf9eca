#pragma once

// What every harness needs beside the test support: the zone, a scratch
// directory that lives as long as the process, unsynced file calls (syncs only
// slow the fuzzer), and a way to stop with a clear reason when a property does
// not hold, which the fuzzer then reports with the input.

#include "Support.h"

#include <cstdio>
#include <cstdlib>

namespace vobrik::fuzz {

inline std::string ScratchPath(const char* name) {
    static const test::TempDir dir;
    return dir.Path(name);
}

inline void WriteScratchFile(const std::string& path, const unsigned char* data, size_t size) {
    test::WriteBytes(path, {data, data + size});
}

inline test::FaultyFileOps& UnsyncedFiles() {
    static test::FaultyFileOps files;
    files.Sync = false;
    return files;
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

// Every harness reads the clock in Paris.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    return 0;
}
