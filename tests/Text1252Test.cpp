#include "platform/Text1252.h"

#include <gtest/gtest.h>

namespace vobrik {
namespace {

TEST(Text1252, FrenchLettersBecomeTheirUtf8Forms) {
    EXPECT_EQ("F\xC3\xAA"
              "tes",
              Utf8FromWindows1252("F\xEAtes"));
    EXPECT_EQ("\xC3\x8A"
              "tes vous s\xC3\xBB"
              "r",
              Utf8FromWindows1252("\xCAtes vous s\xFBr"));
    EXPECT_EQ("\xE2\x82\xAC \xC5\x93 \xE2\x80\x99", Utf8FromWindows1252("\x80 \x9C \x92"));
}

TEST(Text1252, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(all, Windows1252FromUtf8(Utf8FromWindows1252(all)));
}

TEST(Text1252, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
    // A Greek alpha (two bytes), a Chinese character (three) and an emoji (four).
    EXPECT_EQ("a?b?c?d", Windows1252FromUtf8("a\xCE\xB1"
                                             "b\xE4\xB8\xAD"
                                             "c\xF0\x9F\x98\x80"
                                             "d"));
}

TEST(Text1252, MalformedUtf8IsReplacedNotDropped) {
    EXPECT_EQ("x?y", Windows1252FromUtf8("x\xFFy"));
    EXPECT_EQ("x?", Windows1252FromUtf8("x\xC3"));         // cut short at the end
    EXPECT_EQ("??", Windows1252FromUtf8("\xC0\xAF"));      // overlong slash
    EXPECT_EQ("???", Windows1252FromUtf8("\xED\xA0\x80")); // a lone surrogate
    EXPECT_EQ("\xE9", Windows1252FromUtf8("\xC3\xA9"));
}

} // namespace
} // namespace vobrik
