#include "Fakes.h"
#include "calendar/FrenchDate.h"
#include "calendar/NameDays.h"
#include "platform/SearchPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vobrik {
namespace {

namespace fs = std::filesystem;

// Without the zone data every zone quietly becomes UTC, and the local-time
// tests would prove nothing.
bool ZoneInstalled(const char* zone) {
    return fs::exists(fs::path("/usr/share/zoneinfo") / zone);
}

// Zones where the local day differs from the UTC one, each with its own
// daylight-saving season.
const char* const Zones[] = {"Europe/Paris", "America/New_York", "Australia/Sydney"};

bool WriteText(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    return static_cast<bool>(file);
}

class ScopedCwd {
  public:
    explicit ScopedCwd(const std::string& dir) {
        char old[PATH_MAX];
        if (::getcwd(old, sizeof old) != nullptr)
            Old_ = old;
        Ok_ = ::chdir(dir.c_str()) == 0;
    }
    ~ScopedCwd() {
        if (!Old_.empty() && ::chdir(Old_.c_str()) != 0)
            std::perror("chdir back");
    }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;
    bool Ok() const { return Ok_; }

  private:
    std::string Old_;
    bool Ok_ = false;
};

class ScopedPath {
  public:
    explicit ScopedPath(const std::string& value) {
        const char* old = std::getenv("PATH");
        HadOld_ = old != nullptr;
        if (HadOld_)
            Old_ = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() {
        if (HadOld_)
            ::setenv("PATH", Old_.c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

  private:
    bool HadOld_ = false;
    std::string Old_;
};

// A file name no shipped or installed file carries, so the search cannot stumble
// on someone else's copy.
std::string UniqueName(const char* what) {
    static int counter = 0;
    return std::string("vobrik-") + what + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter) + ".txt";
}

// Creates a file and removes it again, also when the test fails half-way.
class ScopedFile {
  public:
    explicit ScopedFile(std::string path) : Path_(std::move(path)) {
        Ok_ = WriteText(Path_, "x\n");
    }
    ~ScopedFile() { std::remove(Path_.c_str()); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    bool Ok() const { return Ok_; }

  private:
    std::string Path_;
    bool Ok_ = false;
};

std::string FrenchDate(int32_t when) {
    char out[FrenchDateSize];
    return FormatFrenchDate(when, out);
}

constexpr char NotFound[] = "Fichier F\xEAtes introuvable !";
constexpr size_t SummaryCapacity = 199;

// Writes `contents` as FETES.TXT and looks `when` up in it. The buffer has
// exactly the size the header asks for, with guard bytes after it that must
// come back untouched.
struct Lookup {
    std::string Text;
    std::vector<test::FakeMessages::Shown> Messages;
    bool GuardIntact = true;
};

Lookup LookUp(const std::string& contents, int32_t when, size_t capacity = SummaryCapacity) {
    test::TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    EXPECT_TRUE(WriteText(path, contents));

    constexpr size_t Guard = 16;
    const size_t size = std::max(capacity + 1, sizeof NotFound);
    std::vector<char> buffer(size + Guard, '#');
    test::FakeMessages messages;
    LookupNameDaysIn(messages, when, buffer.data(), capacity, path.c_str());

    Lookup result;
    result.Text.assign(buffer.data(), ::strnlen(buffer.data(), size));
    result.Messages = messages.Log;
    for (size_t i = size; i < buffer.size(); ++i)
        result.GuardIntact = result.GuardIntact && buffer[i] == '#';
    return result;
}

// ---------------------------------------------------------------------------

TEST(FrenchDate, SundayReadsWeekdayDayMonthAndYear) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(FrenchDate(test::Local(2003, 1, 5)), "Dimanche 5 janvier 2003");
}

TEST(FrenchDate, MondayKeepsItsStoredBlank) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(FrenchDate(test::Local(2003, 1, 6)), "Lundi  6 janvier 2003");
}

TEST(FrenchDate, WeekdaysFollowTheLocalCalendar) {
    test::ScopedTz zone("Europe/Paris");
    const char* const expected[] = {
        "Dimanche 5 janvier 2003", "Lundi  6 janvier 2003", "Mardi 7 janvier 2003",
        "Mercredi 8 janvier 2003", "Jeudi 9 janvier 2003",  "Vendredi 10 janvier 2003",
        "Samedi 11 janvier 2003",
    };
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(FrenchDate(test::Local(2003, 1, 5 + i)), expected[i]) << "day " << 5 + i;
}

TEST(FrenchDate, MonthsAreLowerCaseWindows1252Names) {
    test::ScopedTz zone("Europe/Paris");
    const char* const expected[] = {
        "Mercredi 1 janvier 2003",
        "Samedi 1 f\xE9vrier 2003",
        "Samedi 1 mars 2003",
        "Mardi 1 avril 2003",
        "Jeudi 1 mai 2003",
        "Dimanche 1 juin 2003",
        "Mardi 1 juillet 2003",
        "Vendredi 1 ao\xFBt 2003",
        "Lundi  1 septembre 2003",
        "Mercredi 1 octobre 2003",
        "Samedi 1 novembre 2003",
        ("Lundi  1 d\xE9"
         "cembre 2003"),
    };
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(FrenchDate(test::Local(2003, month, 1)), expected[month - 1])
            << "month " << month;
}

TEST(FrenchDate, DecemberIsWrittenWithByteE9) {
    test::ScopedTz zone("Europe/Paris");
    const std::string text = FrenchDate(test::Local(2003, 12, 31));
    EXPECT_EQ(text, "Mercredi 31 d\xE9"
                    "cembre 2003");
    EXPECT_EQ(static_cast<unsigned char>(text[13]), 0xE9);
}

TEST(FrenchDate, AugustIsWrittenWithByteFB) {
    test::ScopedTz zone("Europe/Paris");
    const std::string text = FrenchDate(test::Local(2003, 8, 15));
    EXPECT_EQ(text, "Vendredi 15 ao\xFBt 2003");
    ASSERT_EQ(text.size(), 21u);
    EXPECT_EQ(static_cast<unsigned char>(text[14]), 0xFB);
}

TEST(FrenchDate, LongestTextFitsItsTwentySevenBytes) {
    test::ScopedTz zone("Europe/Paris");
    char buffer[FrenchDateSize + 8];
    std::memset(buffer, '#', sizeof buffer);
    FormatFrenchDate(test::Local(2002, 9, 11), buffer);
    EXPECT_STREQ(buffer, "Mercredi 11 septembre 2002");
    EXPECT_EQ(std::strlen(buffer), 26u);
    for (size_t i = FrenchDateSize; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], '#') << "byte " << i << " written";
}

TEST(FrenchDate, OverwritesTheBufferAndReturnsIt) {
    test::ScopedTz zone("Europe/Paris");
    char buffer[FrenchDateSize];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(FormatFrenchDate(test::Local(2003, 5, 1), buffer), buffer);
    EXPECT_STREQ(buffer, "Jeudi 1 mai 2003");
}

TEST(FrenchDate, CoversTheWholeThirtyTwoBitRange) {
    test::ScopedTz zone("Europe/Paris");
    ASSERT_TRUE(ZoneInstalled("Europe/Paris"));
    // 2038-01-19 03:14:07 UTC and 1901-12-13 20:45:52 UTC.
    EXPECT_EQ(FrenchDate(INT32_MAX), "Mardi 19 janvier 2038");
    EXPECT_EQ(FrenchDate(INT32_MIN), "Vendredi 13 d\xE9"
                                     "cembre 1901");
    EXPECT_EQ(FrenchDate(0), "Jeudi 1 janvier 1970");
}

TEST(FrenchDate, NewDayBeginsAtLocalMidnight) {
    for (const char* name : Zones) {
        test::ScopedTz zone(name);
        ASSERT_TRUE(ZoneInstalled(name)) << name;
        // January and July: one of them is on summer time in every zone.
        const int32_t january = test::Local(2003, 1, 6, 0, 0, 0);
        EXPECT_EQ(FrenchDate(january - 1), "Dimanche 5 janvier 2003") << name;
        EXPECT_EQ(FrenchDate(january + 1), "Lundi  6 janvier 2003") << name;
        const int32_t july = test::Local(2003, 7, 14, 0, 0, 0);
        EXPECT_EQ(FrenchDate(july - 1), "Dimanche 13 juillet 2003") << name;
        EXPECT_EQ(FrenchDate(july + 1), "Lundi  14 juillet 2003") << name;
    }
}

TEST(FrenchDate, SameInstantFallsOnTheDayOfTheZone) {
    ASSERT_TRUE(ZoneInstalled("Europe/Paris"));
    ASSERT_TRUE(ZoneInstalled("America/New_York"));
    int32_t parisMidnight;
    {
        test::ScopedTz zone("Europe/Paris");
        parisMidnight = test::Local(2003, 7, 14, 0, 0, 0) + 1;
        EXPECT_EQ(FrenchDate(parisMidnight), "Lundi  14 juillet 2003");
    }
    test::ScopedTz zone("America/New_York");
    EXPECT_EQ(FrenchDate(parisMidnight), "Dimanche 13 juillet 2003");
}

// ---------------------------------------------------------------------------

TEST(NameDays, KeyIsTwoDigitDaySlashTwoDigitMonth) {
    test::ScopedTz zone("Europe/Paris");
    const Lookup found =
        LookUp("04/01;Odilon\n05/01;Edouard\n06/01;Melaine\n", test::Local(2003, 1, 5));
    EXPECT_EQ(found.Text, "Edouard");
    EXPECT_TRUE(found.Messages.empty());
}

TEST(NameDays, DayComesBeforeMonthInTheKey) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("01/05;Mai\n", test::Local(2003, 1, 5)).Text, NotFound);
    EXPECT_EQ(LookUp("01/05;Mai\n", test::Local(2003, 5, 1)).Text, "Mai");
}

TEST(NameDays, KeyWithoutLeadingZeroDoesNotMatch) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("5/01;X\n5/1;Y\n", test::Local(2003, 1, 5)).Text, NotFound);
}

TEST(NameDays, BlankBeforeSemicolonDoesNotMatch) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01 ;X\n 05/01;Y\n", test::Local(2003, 1, 5)).Text, NotFound);
}

TEST(NameDays, LongerKeyDoesNotMatch) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01/2003;X\n05/010;Y\n", test::Local(2003, 1, 5)).Text, NotFound);
}

TEST(NameDays, LineWithoutSemicolonIsIgnored) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01\n05/01 X\n\n05/01;Y\n", test::Local(2003, 1, 5)).Text, "Y");
}

TEST(NameDays, MatchesAreJoinedInFileOrderWithNothingBetween) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;X, Y\n06/01;Q\n05/01;Z\n", test::Local(2003, 1, 5)).Text, "X, YZ");
}

TEST(NameDays, TextKeepsItsOwnSemicolons) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;a;b\n", test::Local(2003, 1, 5)).Text, "a;b");
}

TEST(NameDays, TextBytesAreKeptUnchanged) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;C\xE9line, Ana\xEFs  \n", test::Local(2003, 1, 5)).Text,
              "C\xE9line, Ana\xEFs  ");
}

TEST(NameDays, EmptyTextMatchesAndAddsNothing) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;\n05/01;Z\n05/01;\n", test::Local(2003, 1, 5)).Text, "Z");
}

TEST(NameDays, LastLineWithoutLineEndIsRead) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("04/01;A\n05/01;B", test::Local(2003, 1, 5)).Text, "B");
}

TEST(NameDays, TextThatWouldReachCapacityIsSkippedButLaterShorterOnesStillFit) {
    test::ScopedTz zone("Europe/Paris");
    const std::string first(150, 'a'), second(60, 'b'), third(20, 'c');
    const Lookup found = LookUp("05/01;" + first + "\n05/01;" + second + "\n05/01;" + third + "\n",
                                test::Local(2003, 1, 5), 199);
    EXPECT_EQ(found.Text, first + third);
    EXPECT_TRUE(found.GuardIntact);
}

TEST(NameDays, JoinedTextStaysStrictlyBelowCapacity) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;123456789\n05/01;X\n", test::Local(2003, 1, 5), 10).Text, "123456789");
    EXPECT_EQ(LookUp("05/01;1234567890\n", test::Local(2003, 1, 5), 11).Text, "1234567890");
    EXPECT_EQ(LookUp("05/01;1234567890\n05/01;X\n", test::Local(2003, 1, 5), 50).Text,
              "1234567890X");
}

TEST(NameDays, LongLineIsReadAsPiecesOf199CharactersEachALineOfItsOwn) {
    test::ScopedTz zone("Europe/Paris");
    // 250 characters: the second key starts exactly at character 200, so it is
    // only seen when the first 199 form a piece of their own.
    const std::string head = "01/01;" + std::string(193, 'a');
    const std::string tail = "05/01;TAIL" + std::string(41, 't');
    ASSERT_EQ(head.size(), 199u);
    ASSERT_EQ(tail.size(), 51u);
    const std::string file = head + tail + "\n02/01;Basile\n";

    const Lookup first = LookUp(file, test::Local(2003, 1, 1), 250);
    EXPECT_EQ(first.Text, std::string(193, 'a'));
    const Lookup second = LookUp(file, test::Local(2003, 1, 5), 250);
    EXPECT_EQ(second.Text, "TAIL" + std::string(41, 't'));
    EXPECT_EQ(LookUp(file, test::Local(2003, 1, 2), 250).Text, "Basile");
}

TEST(NameDays, CrLfLinesReadLikeLfLines) {
    test::ScopedTz zone("Europe/Paris");
    EXPECT_EQ(LookUp("05/01;X, Y\r\n06/01;Q\r\n05/01;Z\r\n", test::Local(2003, 1, 5)).Text,
              "X, YZ");
    EXPECT_EQ(LookUp("05/01;\r\n05/01;Z\r\n", test::Local(2003, 1, 5)).Text, "Z");
}

TEST(NameDays, CrLfSplitByTheReadBufferStillEndsTheLine) {
    test::ScopedTz zone("Europe/Paris");
    // 198 characters, then CR LF: the CR is the 199th byte of the first read.
    const std::string text(192, 'b');
    const Lookup found = LookUp("05/01;" + text + "\r\n05/01;Z\r\n", test::Local(2003, 1, 5), 250);
    EXPECT_EQ(found.Text, text + "Z");
}

TEST(NameDays, KeyFollowsTheLocalDay) {
    const std::string file = "05/01;Veille\n06/01;Lendemain\n13/07;Avant\n14/07;Apres\n";
    for (const char* name : Zones) {
        test::ScopedTz zone(name);
        ASSERT_TRUE(ZoneInstalled(name)) << name;
        const int32_t january = test::Local(2003, 1, 6, 0, 0, 0);
        EXPECT_EQ(LookUp(file, january - 1).Text, "Veille") << name;
        EXPECT_EQ(LookUp(file, january + 1).Text, "Lendemain") << name;
        const int32_t july = test::Local(2003, 7, 14, 0, 0, 0);
        EXPECT_EQ(LookUp(file, july - 1).Text, "Avant") << name;
        EXPECT_EQ(LookUp(file, july + 1).Text, "Apres") << name;
    }
}

TEST(NameDays, MissingFileGivesNotFoundText) {
    test::ScopedTz zone("Europe/Paris");
    char out[200] = "old text";
    test::FakeMessages messages;
    LookupNameDaysIn(messages, test::Local(2003, 1, 5), out, SummaryCapacity, nullptr);
    EXPECT_STREQ(out, NotFound);
    EXPECT_EQ(std::strlen(out), 27u);
    EXPECT_EQ(static_cast<unsigned char>(out[9]), 0xEA);
    EXPECT_TRUE(messages.Log.empty());
}

TEST(NameDays, DayWithoutEntryGivesNotFoundTextToo) {
    test::ScopedTz zone("Europe/Paris");
    const Lookup found = LookUp("04/01;Odilon\n06/01;Melaine\n", test::Local(2003, 1, 5));
    EXPECT_EQ(found.Text, NotFound);
    EXPECT_TRUE(found.Messages.empty());
    EXPECT_EQ(LookUp("", test::Local(2003, 1, 5)).Text, NotFound);
}

TEST(NameDays, NotFoundTextIsCutToASmallCapacity) {
    test::ScopedTz zone("Europe/Paris");
    for (size_t capacity : {size_t{0}, size_t{1}, size_t{20}, size_t{27}}) {
        const size_t size = capacity + 1;
        std::vector<char> buffer(size + 16, '#');
        test::FakeMessages messages;
        LookupNameDaysIn(messages, test::Local(2003, 1, 5), buffer.data(), capacity, nullptr);
        EXPECT_EQ(std::string(buffer.data()), std::string(NotFound, capacity)) << capacity;
        for (size_t i = size; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], '#') << "capacity " << capacity << ", byte " << i;
    }
}

TEST(NameDays, FileThatVanishedBeforeOpeningShowsMessageAndGivesEmptyText) {
    test::ScopedTz zone("Europe/Paris");
    test::TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    char out[200] = "old text";
    test::FakeMessages messages;
    LookupNameDaysIn(messages, test::Local(2003, 1, 5), out, SummaryCapacity, path.c_str());
    EXPECT_STREQ(out, "");
    ASSERT_EQ(messages.Log.size(), 1u);
    EXPECT_EQ(messages.Log[0].Text, "File Access Error");
    EXPECT_EQ(messages.Log[0].Caption, "Error");
    EXPECT_EQ(messages.Log[0].Type, MB_OK);
}

TEST(NameDays, ExistingFileThatCannotBeOpenedShowsMessageAndGivesEmptyText) {
    test::ScopedTz zone("Europe/Paris");
    test::TempDir dir;
    const std::string path = dir.Path("FETES.TXT");
    ASSERT_TRUE(WriteText(path, "05/01;Edouard\n"));
    char out[200] = "old text";
    test::FakeMessages messages;
    // A file its user may not read; root is held to the permissions as well.
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    {
        test::ScopedFilePermissions asAUser;
        if (!asAUser.Enforced())
            GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
        LookupNameDaysIn(messages, test::Local(2003, 1, 5), out, SummaryCapacity, path.c_str());
    }
    EXPECT_STREQ(out, "");
    ASSERT_EQ(messages.Log.size(), 1u);
    EXPECT_EQ(messages.Log[0].Text, "File Access Error");
    EXPECT_EQ(messages.Log[0].Caption, "Error");
    EXPECT_EQ(messages.Log[0].Type, MB_OK);

    // The same file reads normally once it may be read again.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    messages.Log.clear();
    LookupNameDaysIn(messages, test::Local(2003, 1, 5), out, SummaryCapacity, path.c_str());
    EXPECT_STREQ(out, "Edouard");
    EXPECT_TRUE(messages.Log.empty());
}

TEST(NameDays, PublicLookupReadsTheFileTheSearchFinds) {
    test::ScopedTz zone("Europe/Paris");
    const int32_t when = test::Local(2003, 1, 5);
    char searched[300];
    char out[200];
    test::FakeMessages messages;
    if (SearchPath("FETES.TXT", searched, sizeof searched)) {
        // A shipped or installed copy comes first on the search path.
        char direct[200];
        LookupNameDaysIn(messages, when, direct, SummaryCapacity, searched);
        LookupNameDays(messages, when, out, SummaryCapacity);
        EXPECT_STREQ(out, direct);
    } else {
        test::TempDir dir;
        ASSERT_TRUE(WriteText(dir.Path("FETES.TXT"), "05/01;Edouard\n"));
        LookupNameDays(messages, when, out, SummaryCapacity);
        EXPECT_STREQ(out, NotFound);
        ScopedCwd cwd(dir.Root());
        ASSERT_TRUE(cwd.Ok());
        LookupNameDays(messages, when, out, SummaryCapacity);
        EXPECT_STREQ(out, "Edouard");
    }
    EXPECT_TRUE(messages.Log.empty());
}

// ---------------------------------------------------------------------------

TEST(SearchPath, FindsFileBesideTheProgramWhileCurrentDirectoryIsElsewhere) {
    const std::string programDir = ProgramDirectory();
    ASSERT_FALSE(programDir.empty());
    const std::string name = UniqueName("beside");
    ScopedFile file(programDir + "/" + name);
    ASSERT_TRUE(file.Ok());
    test::TempDir elsewhere;
    ScopedCwd cwd(elsewhere.Root());
    ASSERT_TRUE(cwd.Ok());
    ScopedPath path(elsewhere.Root());

    char found[300];
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(std::string(found), programDir + "/" + name);
}

TEST(SearchPath, ProgramDirectoryComesBeforeCurrentDirectory) {
    const std::string programDir = ProgramDirectory();
    ASSERT_FALSE(programDir.empty());
    const std::string name = UniqueName("first");
    ScopedFile beside(programDir + "/" + name);
    ASSERT_TRUE(beside.Ok());
    test::TempDir elsewhere;
    ASSERT_TRUE(WriteText(elsewhere.Path(name), "y\n"));
    ScopedCwd cwd(elsewhere.Root());
    ASSERT_TRUE(cwd.Ok());

    char found[300];
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(std::string(found), programDir + "/" + name);
}

TEST(SearchPath, FindsFileInCurrentDirectory) {
    test::TempDir dir;
    const std::string name = UniqueName("cwd");
    ASSERT_TRUE(WriteText(dir.Path(name), "x\n"));
    char found[300];
    EXPECT_FALSE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_STREQ(found, "");

    ScopedCwd cwd(dir.Root());
    ASSERT_TRUE(cwd.Ok());
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(fs::canonical(found), fs::canonical(dir.Path(name)));
}

TEST(SearchPath, FindsFileInADirectoryOfPath) {
    test::TempDir elsewhere, second;
    const std::string name = UniqueName("path");
    ASSERT_TRUE(WriteText(second.Path(name), "x\n"));
    ScopedCwd cwd(elsewhere.Root());
    ASSERT_TRUE(cwd.Ok());
    ScopedPath path("/nonexistent-vobrik-dir:" + second.Root());

    char found[300];
    ASSERT_TRUE(SearchPath(name.c_str(), found, sizeof found));
    EXPECT_EQ(std::string(found), second.Path(name));
}

TEST(SearchPath, FullPathTooLongForTheBufferCountsAsNotFound) {
    test::TempDir dir;
    const std::string name = UniqueName("long");
    const std::string full = dir.Path(name);
    ASSERT_TRUE(WriteText(full, "x\n"));
    ScopedPath path(dir.Root());

    std::vector<char> buffer(full.size() + 1);
    ASSERT_TRUE(SearchPath(name.c_str(), buffer.data(), buffer.size()));
    EXPECT_EQ(std::string(buffer.data()), full);
    EXPECT_FALSE(SearchPath(name.c_str(), buffer.data(), full.size()));
    EXPECT_STREQ(buffer.data(), "");
}

TEST(SearchPath, DirectoryOfThatNameIsNotAFile) {
    test::TempDir dir;
    const std::string name = UniqueName("dir");
    ASSERT_TRUE(fs::create_directory(dir.Path(name)));
    ScopedCwd cwd(dir.Root());
    ASSERT_TRUE(cwd.Ok());
    ScopedPath path(dir.Root());

    char found[300];
    EXPECT_FALSE(SearchPath(name.c_str(), found, sizeof found));
}

} // namespace
} // namespace vobrik
