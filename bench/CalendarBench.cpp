#include "Support.h"
#include "calendar/FrenchDate.h"
#include "calendar/NameDays.h"
#include "platform/SearchPath.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace vobrik {
namespace {

// A name-day file shaped like the shipped one: one line for each day of a leap
// year, two or three names each, some of them accented.
std::string WriteNameDayFile(const std::string& dir) {
    static const char* const Names[] = {
        "Marie",   "Basile", "Genevi\xE8ve", "Odilon",    "Edouard",  "Melaine",
        "Raymond", "Lucien", "Alix",         "Guillaume", "Paulin",   "Tatiana",
        "Yvette",  "Nina",   "R\xE9mi",      "Marcel",    "Roseline", "Prisca"};
    constexpr int NameCount = sizeof Names / sizeof Names[0];
    const std::string path = dir + "/FETES.TXT";
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return {};
    const int monthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int n = 0;
    for (int month = 1; month <= 12; ++month)
        for (int day = 1; day <= monthDays[month - 1]; ++day, ++n)
            std::fprintf(file, "%02d/%02d;%s, %s%s%s\n", day, month, Names[n % NameCount],
                         Names[(n * 7 + 3) % NameCount], n % 3 == 0 ? ", " : "",
                         n % 3 == 0 ? Names[(n * 5 + 1) % NameCount] : "");
    std::fclose(file);
    return path;
}

// The file the program would read: the shipped or installed one when the search
// finds it, or else a generated one in a temporary directory made current for
// the run, where the search finds it too.
class NameDayFile {
  public:
    NameDayFile() {
        char found[300];
        if (SearchPath("FETES.TXT", found, sizeof found)) {
            Path_ = found;
            return;
        }
        char dir[] = "/tmp/vobrik-bench-XXXXXX";
        if (::mkdtemp(dir) == nullptr)
            return;
        TempDir_ = dir;
        Path_ = WriteNameDayFile(TempDir_);
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr && ::chdir(dir) == 0)
            OldCwd_ = cwd;
    }
    ~NameDayFile() {
        if (!OldCwd_.empty() && ::chdir(OldCwd_.c_str()) != 0)
            std::perror("chdir back");
        std::error_code ignored;
        if (!TempDir_.empty())
            std::filesystem::remove_all(TempDir_, ignored);
    }
    NameDayFile(const NameDayFile&) = delete;
    NameDayFile& operator=(const NameDayFile&) = delete;

    const std::string& Path() const { return Path_; }
    bool Generated() const { return !TempDir_.empty(); }

  private:
    std::string Path_;
    std::string TempDir_;
    std::string OldCwd_;
};

// One lookup as the summary makes it for each of its days on every repaint:
// search the file and read it in full (searched), or the read alone.
void LookUp(benchmark::State& state, bool searched) {
    NameDayFile file;
    if (file.Path().empty()) {
        state.SkipWithError("no name-day file");
        return;
    }
    test::FakeMessages messages;
    const int32_t when = test::Local(2003, 7, 14, 12);
    char out[200];
    for (auto _ : state) {
        if (searched)
            LookupNameDays(messages, when, out, 199);
        else
            LookupNameDaysIn(messages, when, out, 199, file.Path().c_str());
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetLabel(file.Generated() ? "generated 366-line file" : file.Path());
    if (!messages.Log.empty())
        state.SkipWithError("the name-day file could not be opened");
}

void BM_LookupNameDays(benchmark::State& state) {
    LookUp(state, true);
}
BENCHMARK(BM_LookupNameDays);

void BM_LookupNameDaysInKnownFile(benchmark::State& state) {
    LookUp(state, false);
}
BENCHMARK(BM_LookupNameDaysInKnownFile);

void BM_FormatFrenchDate(benchmark::State& state) {
    // A different day each time, through one year, so no date is favoured.
    const int32_t start = test::Local(2002, 9, 11, 12);
    int32_t day = 0;
    char out[FrenchDateSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatFrenchDate(start + day * 86400, out));
        benchmark::ClobberMemory();
        day = day == 365 ? 0 : day + 1;
    }
}
BENCHMARK(BM_FormatFrenchDate);

} // namespace
} // namespace vobrik
