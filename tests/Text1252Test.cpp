#include "platform/Text1252.h"

#include <gtest/gtest.h>

namespace vobrik {
namespace {

TEST(Text1252, EveryByteBecomesItsUtf8FormAndSurvivesARoundTrip) {
    EXPECT_EQ("\xC3\x8Ates vous s\xC3\xBBr", Utf8FromWindows1252("\xCAtes vous s\xFBr"));
    EXPECT_EQ("\xE2\x82\xAC \xC5\x93 \xE2\x80\x99", Utf8FromWindows1252("\x80 \x9C \x92"));
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(all, Windows1252FromUtf8(Utf8FromWindows1252(all)));
}

// Malformed UTF-8 is replaced too, never dropped.
TEST(Text1252, TypedTextIsComposedMappedAndReplacedOncePerCharacter) {
    const struct {
        const char* utf8;
        const char* stored;
    } cases[] = {
        {"e\xCC\x81t\xC3\xA9", "\xE9t\xE9"},                   // a separate accent composes
        {"a\u202F;b\u2009c", "a\xA0;b c"},                     // narrow no-break, thin space
        {"\xC2\xA0", "\xA0"},                                  // the no-break space stays
        {"x\xE2\x80\x91y\xE2\x80\x90z", "x-y-z"},              // hyphens
        {"\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7!", "?!"},           // a flag is one character
        {"\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB", "?"}, // a joined emoji too
        {"q\xCC\x81", "?"},                                    // a mark nothing composes with
        {"aαb中c", "a?b?c"},                                   // Greek, Chinese
        {"a\r\nb", "a\r\nb"},
        {"x\xFFy", "x?y"},
        {"x\xC3", "x?"},         // cut short at the end
        {"\xC0\xAF", "??"},      // overlong slash
        {"\xED\xA0\x80", "???"}, // a lone surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.stored, Windows1252FromUtf8(c.utf8)) << c.utf8;
}

} // namespace
} // namespace vobrik
