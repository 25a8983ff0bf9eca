// The data files we ship: the name-day calendar and the ring sound, as the
// build copies them beside the programs.

#include "Fakes.h"
#include "platform/SearchPath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::vector<unsigned char> BesideProgram(const char* name) {
    return ReadBytes(ProgramDirectory() + "/" + name);
}

TEST(Resources, NameDayFileHasOneWellFormedLineForEveryDayOfALeapYear) {
    const auto bytes = BesideProgram("FETES.TXT");
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_FALSE(text.empty());
    ASSERT_EQ("\r\n", text.substr(text.size() - 2)) << "the last line ends too";

    // A key, then a text of printable Windows-1252 (no control byte, none of
    // the five bytes it leaves undefined) that fits the summary's buffer.
    const std::regex line("\\d\\d/\\d\\d;[^\\x00-\\x1F\\x81\\x8D\\x8F\\x90\\x9D]{1,198}");
    std::set<std::string> keys;
    int lines = 0;
    for (size_t start = 0, end; start < text.size(); start = end + 2, ++lines) {
        end = text.find("\r\n", start);
        const std::string one = text.substr(start, end - start);
        EXPECT_TRUE(std::regex_match(one, line)) << one;
        EXPECT_TRUE(keys.insert(one.substr(0, 5)).second) << "duplicate key " << one;
    }
    EXPECT_EQ(366, lines);

    ScopedTz zone("Europe/Paris");
    std::set<std::string> expected;
    for (int32_t t = Local(2024, 1, 1, 12); t < Local(2025, 1, 1); t += 86400) {
        const std::string day = ShowLocal(t); // YYYY-MM-DD
        expected.insert(day.substr(8, 2) + "/" + day.substr(5, 2));
    }
    EXPECT_EQ(expected, keys);
}

uint32_t Le(const std::vector<unsigned char>& b, size_t at, int size = 4) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | b[at + i];
    return value;
}

TEST(Resources, RingSoundIsAShortSixteenBitPcmWave) {
    const auto b = BesideProgram("DRING.WAV");
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(0, std::memcmp(b.data(), "RIFF", 4));
    EXPECT_EQ(b.size() - 8, Le(b, 4));
    EXPECT_EQ(0, std::memcmp(b.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(1u, Le(b, 20, 2)) << "PCM";
    EXPECT_EQ(16u, Le(b, 34, 2));
    EXPECT_EQ(0, std::memcmp(b.data() + 36, "data", 4));
    const double seconds = double(Le(b, 40)) / (Le(b, 24) * Le(b, 22, 2) * 2);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 2.0);
}

} // namespace
} // namespace vobrik
