#include "calendar/FrenchDate.h"
#include "calendar/NameDays.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::string FrenchDate(int32_t when) {
    char out[FrenchDateSize];
    return FormatFrenchDate(when, out);
}

constexpr char NotFound[] = "Fichier F\xEAtes introuvable !";

TEST(Calendar, FrenchDateNamesWeekdayDayMonthAndYear) {
    ScopedTz zone("Europe/Paris");
    const struct {
        int32_t When;
        const char* Text;
    } dates[] = {
        {Local(2003, 1, 5, 12), "Dimanche 5 janvier 2003"},
        {Local(2003, 1, 6, 0, 0, 1), "Lundi  6 janvier 2003"}, // Monday keeps its stored blank
        {Local(2003, 2, 4, 12), "Mardi 4 f\xE9vrier 2003"},
        {Local(2003, 3, 13, 12), "Jeudi 13 mars 2003"},
        {Local(2003, 5, 3, 23, 59, 59), "Samedi 3 mai 2003"},
        {Local(2003, 8, 15, 12), "Vendredi 15 ao\xFBt 2003"},
        {Local(2003, 12, 31, 12), "Mercredi 31 d\xE9"
                                  "cembre 2003"},
        {INT32_MAX, "Mardi 19 janvier 2038"},
        {INT32_MIN, "Vendredi 13 d\xE9"
                    "cembre 1901"},
    };
    for (const auto& date : dates)
        EXPECT_EQ(date.Text, FrenchDate(date.When));
}

// Looks 5 January 2003 (or the given day) up in a FETES.TXT of these contents,
// with guard bytes after the buffer that must stay untouched.
std::string LookUp(const std::string& contents, size_t capacity = 199, int day = 5, int month = 1,
                   bool present = true) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    if (present)
        WriteBytes(path, {contents.begin(), contents.end()});
    const size_t size = std::max(capacity + 1, sizeof NotFound);
    std::vector<char> buffer(size + 16, '#');
    FakeMessages messages;
    LookupNameDaysIn(messages, Local(2003, month, day, 12), buffer.data(), capacity,
                     present ? path.c_str() : nullptr);
    EXPECT_TRUE(messages.Log.empty());
    EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<long>(size), buffer.end(),
                            [](char c) { return c == '#'; }));
    return {buffer.data(), ::strnlen(buffer.data(), size)};
}

TEST(Calendar, NameDaysJoinTheLinesOfTheDayBelowTheCapacity) {
    // 250 characters: the second key starts exactly at character 200, so it is
    // only seen when the first 199 form a piece of their own.
    const std::string longLine =
        "01/01;" + std::string(193, 'a') + "05/01;TAIL" + std::string(41, 't') + "\n02/01;B\n";
    const struct {
        const char* Name;
        std::string File, Text;
        size_t Capacity = 199;
        int Day = 5, Month = 1;
    } cases[] = {
        {"key is DD/MM", "04/01;Odilon\n05/01;Edouard\n01/05;Mai\n", "Edouard"},
        {"month after day", "05/01;X\n01/05;Mai\n", "Mai", 199, 1, 5},
        {"key must match whole", "5/01;X\n 05/01;Y\n05/01 ;Z\n05/010;W\n", NotFound},
        {"joined in file order, semicolons kept", "05/01;X, Y\n05/01\n06/01;Q\n05/01;a;b\n",
         "X, Ya;b"},
        {"last line without line end", "04/01;A\n05/01;B", "B"},
        {"150 fits, 60 is skipped, 20 still fits",
         "05/01;" + std::string(150, 'a') + "\n05/01;" + std::string(60, 'b') + "\n05/01;" +
             std::string(20, 'c') + "\n",
         std::string(150, 'a') + std::string(20, 'c')},
        {"joined text stays below the capacity", "05/01;123456789\n05/01;X\n", "123456789", 10},
        {"long line: second piece", longLine, "TAIL" + std::string(41, 't'), 250},
        {"long line: next line", longLine, "B", 250, 2, 1},
        {"CR LF", "05/01;X, Y\r\n06/01;Q\r\n05/01;Z\r\n", "X, YZ"},
        // 198 characters, then CR LF: the CR is the 199th byte of the first read.
        {"CR LF split by the read buffer", "05/01;" + std::string(192, 'b') + "\r\n05/01;Z\r\n",
         std::string(192, 'b') + "Z", 250},
        {"day without entry", "04/01;Odilon\n", NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Text, LookUp(c.File, c.Capacity, c.Day, c.Month));
    }
    for (size_t capacity : {0, 20, 199}) // no file at all
        EXPECT_EQ(std::string(NotFound, std::min<size_t>(capacity, 27)),
                  LookUp("", capacity, 5, 1, false));
}

} // namespace
} // namespace vobrik
