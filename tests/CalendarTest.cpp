#include "Fakes.h"
#include "calendar/FrenchDate.h"
#include "calendar/NameDays.h"
#include "platform/SearchPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;
namespace fs = std::filesystem;

// Zones where the local day differs from the UTC one, each with its own
// daylight-saving season. Without the zone data a zone quietly becomes UTC.
const char* const Zones[] = {"Europe/Paris", "America/New_York", "Australia/Sydney"};

bool ZoneInstalled(const char* zone) {
    return fs::exists(fs::path("/usr/share/zoneinfo") / zone);
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, {text.begin(), text.end()});
}

class ScopedCwd {
  public:
    explicit ScopedCwd(const std::string& dir) : Old(fs::current_path()) { fs::current_path(dir); }
    ~ScopedCwd() {
        std::error_code ignored;
        fs::current_path(Old, ignored);
    }

  private:
    fs::path Old;
};

std::string FrenchDate(int32_t when) {
    char out[FrenchDateSize];
    return FormatFrenchDate(when, out);
}

constexpr char NotFound[] = "Fichier F\xEAtes introuvable !";

// Looks `when` up in a FETES.TXT of these contents. The buffer has exactly the
// size the header asks for, with guard bytes after it that must stay untouched.
struct Lookup {
    std::string Text;
    bool Quiet = true;
    bool GuardIntact = true;
};

Lookup LookUp(const std::string& contents, int32_t when, size_t capacity = 199,
              bool present = true) {
    TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    if (present)
        WriteText(path, contents);
    constexpr size_t Guard = 16;
    const size_t size = std::max(capacity + 1, sizeof NotFound);
    std::vector<char> buffer(size + Guard, '#');
    FakeMessages messages;
    LookupNameDaysIn(messages, when, buffer.data(), capacity, present ? path.c_str() : nullptr);

    Lookup result;
    result.Text.assign(buffer.data(), ::strnlen(buffer.data(), size));
    result.Quiet = messages.Log.empty();
    result.GuardIntact = std::all_of(buffer.begin() + static_cast<long>(size), buffer.end(),
                                     [](char c) { return c == '#'; });
    return result;
}

TEST(FrenchDate, WeekdayDayMonthAndYear) {
    ScopedTz zone("Europe/Paris");
    // Every weekday and every month; Monday keeps its stored blank.
    const struct {
        int Year, Month, Day;
        const char* Text;
    } dates[] = {
        {2003, 1, 5, "Dimanche 5 janvier 2003"},
        {2003, 1, 6, "Lundi  6 janvier 2003"},
        {2003, 2, 4, "Mardi 4 f\xE9vrier 2003"},
        {2003, 3, 13, "Jeudi 13 mars 2003"},
        {2003, 4, 4, "Vendredi 4 avril 2003"},
        {2003, 5, 3, "Samedi 3 mai 2003"},
        {2003, 6, 1, "Dimanche 1 juin 2003"},
        {2003, 7, 14, "Lundi  14 juillet 2003"},
        {2003, 8, 15, "Vendredi 15 ao\xFBt 2003"},
        {2002, 9, 11, "Mercredi 11 septembre 2002"},
        {2003, 10, 1, "Mercredi 1 octobre 2003"},
        {2003, 11, 11, "Mardi 11 novembre 2003"},
        {2003, 12, 31,
         "Mercredi 31 d\xE9"
         "cembre 2003"},
    };
    for (const auto& date : dates)
        EXPECT_EQ(date.Text, FrenchDate(Local(date.Year, date.Month, date.Day, 12)));
}

TEST(FrenchDate, CoversTheWholeThirtyTwoBitRange) {
    ScopedTz zone("Europe/Paris");
    ASSERT_TRUE(ZoneInstalled("Europe/Paris"));
    // 2038-01-19 03:14:07 UTC and 1901-12-13 20:45:52 UTC.
    EXPECT_EQ("Mardi 19 janvier 2038", FrenchDate(INT32_MAX));
    EXPECT_EQ("Vendredi 13 d\xE9"
              "cembre 1901",
              FrenchDate(INT32_MIN));
    EXPECT_EQ("Jeudi 1 janvier 1970", FrenchDate(0));
}

TEST(FrenchDate, LongestTextFitsItsTwentySevenBytes) {
    ScopedTz zone("Europe/Paris");
    char buffer[FrenchDateSize + 8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(buffer, FormatFrenchDate(Local(2002, 9, 11), buffer));
    EXPECT_EQ(26u, std::strlen(buffer));
    for (size_t i = FrenchDateSize; i < sizeof buffer; ++i)
        EXPECT_EQ('#', buffer[i]) << "byte " << i << " written";
}

TEST(FrenchDate, NewDayBeginsAtLocalMidnight) {
    for (const char* name : Zones) {
        ScopedTz zone(name);
        ASSERT_TRUE(ZoneInstalled(name)) << name;
        // January and July: one of them is on summer time in every zone.
        const int32_t january = Local(2003, 1, 6);
        EXPECT_EQ("Dimanche 5 janvier 2003", FrenchDate(january - 1)) << name;
        EXPECT_EQ("Lundi  6 janvier 2003", FrenchDate(january + 1)) << name;
        const int32_t july = Local(2003, 7, 14);
        EXPECT_EQ("Dimanche 13 juillet 2003", FrenchDate(july - 1)) << name;
        EXPECT_EQ("Lundi  14 juillet 2003", FrenchDate(july + 1)) << name;
    }
}

TEST(NameDays, LinesOfTheDayAreJoinedBelowTheCapacity) {
    ScopedTz zone("Europe/Paris");
    // 250 characters: the second key starts exactly at character 200, so it is
    // only seen when the first 199 form a piece of their own.
    const std::string longLine =
        "01/01;" + std::string(193, 'a') + "05/01;TAIL" + std::string(41, 't') + "\n02/01;B\n";
    // Looked up on 5 January with the summary's capacity unless told.
    const struct {
        const char* Name;
        std::string File;
        std::string Text;
        size_t Capacity = 199;
        int Day = 5, Month = 1;
    } cases[] = {
        {"key is DD/MM", "04/01;Odilon\n05/01;Edouard\n06/01;Melaine\n", "Edouard"},
        {"day comes before month", "01/05;Mai\n", NotFound},
        {"month comes after day", "01/05;Mai\n", "Mai", 199, 1, 5},
        {"key without leading zero", "5/01;X\n5/1;Y\n", NotFound},
        {"blank around the key", "05/01 ;X\n 05/01;Y\n", NotFound},
        {"longer key", "05/01/2003;X\n05/010;Y\n", NotFound},
        {"line without semicolon", "05/01\n05/01 X\n\n05/01;Y\n", "Y"},
        {"joined in file order", "05/01;X, Y\n06/01;Q\n05/01;Z\n", "X, YZ"},
        {"text keeps its semicolons", "05/01;a;b\n", "a;b"},
        {"text bytes unchanged", "05/01;C\xE9line, Ana\xEFs  \n", "C\xE9line, Ana\xEFs  "},
        {"empty text adds nothing", "05/01;\n05/01;Z\n05/01;\n", "Z"},
        {"last line without line end", "04/01;A\n05/01;B", "B"},
        {"day without entry", "04/01;Odilon\n06/01;Melaine\n", NotFound},
        {"empty file", "", NotFound},
        {"150 fits, 60 is skipped, 20 still fits",
         "05/01;" + std::string(150, 'a') + "\n05/01;" + std::string(60, 'b') + "\n05/01;" +
             std::string(20, 'c') + "\n",
         std::string(150, 'a') + std::string(20, 'c')},
        {"joined text stays below the capacity", "05/01;123456789\n05/01;X\n", "123456789", 10},
        {"one below the capacity fits", "05/01;1234567890\n", "1234567890", 11},
        {"long line: first piece", longLine, std::string(193, 'a'), 250, 1, 1},
        {"long line: second piece", longLine, "TAIL" + std::string(41, 't'), 250},
        {"long line: next line", longLine, "B", 250, 2, 1},
        {"CR LF", "05/01;X, Y\r\n06/01;Q\r\n05/01;\r\n05/01;Z\r\n", "X, YZ"},
        // 198 characters, then CR LF: the CR is the 199th byte of the first read.
        {"CR LF split by the read buffer", "05/01;" + std::string(192, 'b') + "\r\n05/01;Z\r\n",
         std::string(192, 'b') + "Z", 250},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const Lookup found = LookUp(c.File, Local(2003, c.Month, c.Day, 12), c.Capacity);
        EXPECT_EQ(c.Text, found.Text);
        EXPECT_TRUE(found.Quiet);
        EXPECT_TRUE(found.GuardIntact);
    }
}

TEST(NameDays, KeyFollowsTheLocalDay) {
    const std::string file = "05/01;Veille\n06/01;Lendemain\n13/07;Avant\n14/07;Apres\n";
    for (const char* name : Zones) {
        ScopedTz zone(name);
        ASSERT_TRUE(ZoneInstalled(name)) << name;
        const int32_t january = Local(2003, 1, 6);
        EXPECT_EQ("Veille", LookUp(file, january - 1).Text) << name;
        EXPECT_EQ("Lendemain", LookUp(file, january + 1).Text) << name;
        const int32_t july = Local(2003, 7, 14);
        EXPECT_EQ("Avant", LookUp(file, july - 1).Text) << name;
        EXPECT_EQ("Apres", LookUp(file, july + 1).Text) << name;
    }
}

TEST(NameDays, MissingFileGivesTheNotFoundTextCutToTheCapacity) {
    ScopedTz zone("Europe/Paris");
    for (size_t capacity : {0, 1, 20, 27, 199}) {
        SCOPED_TRACE(capacity);
        const Lookup found = LookUp("", Local(2003, 1, 5), capacity, false);
        EXPECT_EQ(std::string(NotFound, std::min<size_t>(capacity, 27)), found.Text);
        EXPECT_TRUE(found.Quiet);
        EXPECT_TRUE(found.GuardIntact);
    }
}

TEST(NameDays, FileThatCannotBeOpenedIsReportedAndGivesEmptyText) {
    ScopedTz zone("Europe/Paris");
    TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    char out[200];
    FakeMessages messages;
    // Gone since it was found, then there but not readable by its user.
    LookupNameDaysIn(messages, Local(2003, 1, 5), out, 199, path.c_str());
    EXPECT_STREQ("", out);
    WriteText(path, "05/01;Edouard\n");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0));
    {
        ScopedFilePermissions asAUser;
        if (!asAUser.Enforced())
            GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
        LookupNameDaysIn(messages, Local(2003, 1, 5), out, 199, path.c_str());
    }
    EXPECT_STREQ("", out);
    ASSERT_EQ(2u, messages.Log.size());
    for (const auto& shown : messages.Log) {
        EXPECT_EQ("File Access Error", shown.Text);
        EXPECT_EQ("Error", shown.Caption);
        EXPECT_EQ(MB_OK, shown.Type);
    }
}

TEST(NameDays, PublicLookupReadsTheFileTheSearchFinds) {
    ScopedTz zone("Europe/Paris");
    // The build puts the shipped file beside the test program.
    char found[300], direct[200], out[200];
    ASSERT_TRUE(SearchPath("FETES.TXT", found, sizeof found));
    FakeMessages messages;
    LookupNameDaysIn(messages, Local(2003, 1, 5), direct, 199, found);
    LookupNameDays(messages, Local(2003, 1, 5), out, 199);
    EXPECT_STREQ(direct, out);
    EXPECT_STRNE(NotFound, out);
    EXPECT_TRUE(messages.Log.empty());
}

// A name no shipped or installed file carries.
std::string UniqueName() {
    return "vobrik-search-" + std::to_string(::getpid()) + ".txt";
}

// A file beside the test program, removed at the end.
struct FileBesideProgram {
    std::string Name = UniqueName();
    std::string Path = ProgramDirectory() + "/" + Name;
    FileBesideProgram() { WriteText(Path, "x\n"); }
    ~FileBesideProgram() { std::remove(Path.c_str()); }
};

TEST(SearchPath, ProgramDirectoryComesFirstWhateverTheCurrentDirectory) {
    ASSERT_FALSE(ProgramDirectory().empty());
    FileBesideProgram beside;
    TempDir elsewhere;
    WriteText(elsewhere.Path(beside.Name), "y\n");
    ScopedCwd cwd(elsewhere.Root());
    ScopedEnv path("PATH", elsewhere.Root().c_str());

    char found[300];
    ASSERT_TRUE(SearchPath(beside.Name.c_str(), found, sizeof found));
    EXPECT_EQ(beside.Path, found);
}

TEST(SearchPath, CurrentDirectoryThenEachDirectoryOfPath) {
    TempDir cwdDir, pathDir;
    const std::string name = UniqueName();
    ScopedCwd cwd(cwdDir.Root());
    ScopedEnv path("PATH", ("/nonexistent-vobrik-dir:" + pathDir.Root()).c_str());
    char found[300];
    EXPECT_FALSE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_STREQ("", found);

    WriteText(pathDir.Path(name), "x\n");
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(pathDir.Path(name), found);

    WriteText(cwdDir.Path(name), "x\n");
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(fs::canonical(cwdDir.Path(name)), fs::canonical(found));
}

TEST(SearchPath, FullPathTooLongForTheBufferCountsAsNotFound) {
    TempDir dir;
    const std::string name = UniqueName();
    const std::string full = dir.Path(name);
    WriteText(full, "x\n");
    ScopedEnv path("PATH", dir.Root().c_str());

    std::vector<char> buffer(full.size() + 1);
    ASSERT_TRUE(SearchPath(name.c_str(), buffer.data(), buffer.size()));
    EXPECT_EQ(full, buffer.data());
    EXPECT_FALSE(SearchPath(name.c_str(), buffer.data(), full.size()));
    EXPECT_STREQ("", buffer.data());
}

TEST(SearchPath, DirectoryOfThatNameIsNotAFile) {
    TempDir dir;
    const std::string name = UniqueName();
    ASSERT_TRUE(fs::create_directory(dir.Path(name)));
    ScopedCwd cwd(dir.Root());
    ScopedEnv path("PATH", dir.Root().c_str());
    char found[300];
    EXPECT_FALSE(SearchPath(name.c_str(), found, sizeof found));
}

} // namespace
} // namespace vobrik
