// The data files we ship: the name-day calendar and the ring sound, as the
// build copies them beside the programs.

#include "Fakes.h"
#include "platform/SearchPath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::string BesideProgram(const char* name) {
    return ProgramDirectory() + "/" + name;
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}
uint16_t Le16(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(Resources, NameDayFileHasOneWellFormedLineForEveryDayOfALeapYear) {
    const auto bytes = ReadBytes(BesideProgram("FETES.TXT"));
    ASSERT_FALSE(bytes.empty());

    // Bytes that Windows-1252 leaves undefined.
    const std::set<unsigned char> undefined = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    std::set<std::string> keys;
    size_t start = 0;
    int lines = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end + 1 < bytes.size() && !(bytes[end] == '\r' && bytes[end + 1] == '\n'))
            ++end;
        ASSERT_LT(end + 1, bytes.size()) << "line " << lines + 1 << " does not end in CR LF";
        const std::string line(bytes.begin() + static_cast<long>(start),
                               bytes.begin() + static_cast<long>(end));
        ++lines;
        ASSERT_GT(line.size(), 6u) << line;
        EXPECT_TRUE(isdigit(static_cast<unsigned char>(line[0])) &&
                    isdigit(static_cast<unsigned char>(line[1])) && line[2] == '/' &&
                    isdigit(static_cast<unsigned char>(line[3])) &&
                    isdigit(static_cast<unsigned char>(line[4])) && line[5] == ';')
            << line;
        EXPECT_LT(line.size() - 6, 199u) << "a name-day text must fit the summary's buffer";
        for (unsigned char c : line) {
            EXPECT_FALSE(c < 0x20 || undefined.count(c)) << "byte " << int(c) << " in " << line;
        }
        EXPECT_TRUE(keys.insert(line.substr(0, 5)).second) << "duplicate key " << line;
        start = end + 2;
    }
    EXPECT_EQ(366, lines);

    ScopedTz zone("Europe/Paris");
    std::set<std::string> expected;
    for (int32_t t = Local(2024, 1, 1, 12); t < Local(2025, 1, 1); t += 86400) {
        char key[8];
        const std::string day = ShowLocal(t); // YYYY-MM-DD
        std::snprintf(key, sizeof key, "%s/%s", day.substr(8, 2).c_str(), day.substr(5, 2).c_str());
        expected.insert(key);
    }
    EXPECT_EQ(expected, keys);
}

TEST(Resources, RingSoundIsAShortSixteenBitPcmWave) {
    const auto b = ReadBytes(BesideProgram("DRING.WAV"));
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(0, std::memcmp(b.data(), "RIFF", 4));
    EXPECT_EQ(b.size() - 8, Le32(b, 4));
    EXPECT_EQ(0, std::memcmp(b.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(1, Le16(b, 20)) << "PCM";
    const unsigned channels = Le16(b, 22);
    const uint32_t rate = Le32(b, 24);
    EXPECT_EQ(16, Le16(b, 34));
    EXPECT_EQ(0, std::memcmp(b.data() + 36, "data", 4));
    const double seconds = double(Le32(b, 40)) / (rate * channels * 2);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 2.0);
}

} // namespace
} // namespace vobrik
