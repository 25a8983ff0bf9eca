#pragma once

// What every harness needs beside the test support: the zone, the harness's
// clock, scratch files that live as long as the process, unsynced file calls
// (syncs only slow the fuzzer), and a stop with a clear reason when a property
// does not hold, which the fuzzer then reports with the input.

#include "Support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vobrik::fuzz {

// 02:30 on the night the clocks go back in Paris: the hour that happens twice.
constexpr int32_t Now = 1792888200;
// The same moment as a file name gives it, on the Paris clock.
constexpr const char* NowStamp = "20261025-023000";

inline std::string ScratchPath(const char* name) {
    static const test::TempDir dir;
    return dir.Path(name);
}

inline test::FaultyFileOps& UnsyncedFiles() {
    static test::FaultyFileOps files;
    files.Sync = false;
    return files;
}

template <size_t N> bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    return 0;
}
