#include "app/Settings.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {
namespace {

using namespace vobrik::test;

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}
std::string Text(const std::vector<unsigned char>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class Settings : public ::testing::Test {
  protected:
    TempDir Dir;
    FakeMessages Messages;
    std::string File = Dir.Path("VOBRIK.INI");
    TSettings Values;

    bool Load(const std::string& contents) {
        WriteBytes(File, Bytes(contents));
        return LoadSettings(Values, Messages, SystemFileOps(), File);
    }
};

// Reading

TEST_F(Settings, MissingFileKeepsTheDefaultsAndCreatesNothing) {
    EXPECT_TRUE(LoadSettings(Values, Messages, SystemFileOps(), File));
    EXPECT_FALSE(Values.StartHidden);
    EXPECT_TRUE(Values.ShowSummary);
    EXPECT_EQ(100, Values.PosX);
    EXPECT_EQ(100, Values.PosY);
    EXPECT_EQ(200, Values.PosH);
    EXPECT_EQ(400, Values.PosW);
    EXPECT_TRUE(Messages.Log.empty());
    struct stat st {};
    EXPECT_NE(0, ::stat(File.c_str(), &st));
}

TEST_F(Settings, EmptyFileChangesNothingAndIsNoError) {
    Values.PosX = 7;
    EXPECT_TRUE(Load(""));
    EXPECT_EQ(7, Values.PosX);
    EXPECT_TRUE(Values.ShowSummary);
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(Settings, KeysAreUpperCasedButBlanksCount) {
    ASSERT_TRUE(Load("hide=1\nResume=0\n"));
    EXPECT_TRUE(Values.StartHidden);
    EXPECT_FALSE(Values.ShowSummary);

    Values = TSettings();
    ASSERT_TRUE(Load("HIDE =1\n RESUME=0\n"));
    EXPECT_FALSE(Values.StartHidden);
    EXPECT_TRUE(Values.ShowSummary);
}

TEST_F(Settings, OnlyALeadingOneIsTrue) {
    for (const char* line :
         {"HIDE=yes\n", "HIDE= 1\n", "HIDE=\n", "HIDE=0\n", "HIDE=", "HIDE=2\n"}) {
        Values.StartHidden = true;
        ASSERT_TRUE(Load(line));
        EXPECT_FALSE(Values.StartHidden) << line;
    }
    ASSERT_TRUE(Load("HIDE=1 and more\n"));
    EXPECT_TRUE(Values.StartHidden);
    ASSERT_TRUE(Load("HIDE=1")); // no line end at the end of the file
    EXPECT_TRUE(Values.StartHidden);
}

TEST_F(Settings, PositionsAreReadAsAtolReadsThem) {
    ASSERT_TRUE(Load("POSX= 150\nPOSY=12abc\nPOSH=-20\nPOSW=abc\n"));
    EXPECT_EQ(150, Values.PosX);
    EXPECT_EQ(12, Values.PosY);
    EXPECT_EQ(-20, Values.PosH);
    EXPECT_EQ(0, Values.PosW);

    ASSERT_TRUE(Load("POSX=+33\nPOSY=\t\t8\n"));
    EXPECT_EQ(33, Values.PosX);
    EXPECT_EQ(8, Values.PosY);
}

TEST_F(Settings, PositionsBeyondThirtyTwoBitsAreHeldAtTheEnds) {
    ASSERT_TRUE(Load("POSX=99999999999\nPOSY=-99999999999\nPOSW=2147483647\n"));
    EXPECT_EQ(2147483647, Values.PosX);
    EXPECT_EQ(-2147483647 - 1, Values.PosY);
    EXPECT_EQ(2147483647, Values.PosW);
}

TEST_F(Settings, TheSplitIsAtTheFirstEqualsSign) {
    ASSERT_TRUE(Load("POSX=1=2\n"));
    EXPECT_EQ(1, Values.PosX);
}

TEST_F(Settings, LaterLinesWinAndMissingKeysKeepTheirValue) {
    ASSERT_TRUE(Load("POSX=1\nPOSX=2\n"));
    EXPECT_EQ(2, Values.PosX);
    EXPECT_EQ(100, Values.PosY);
}

TEST_F(Settings, LinesWithoutEqualsAndUnknownKeysAreSkipped) {
    ASSERT_TRUE(Load("; a comment\n\n[Vobrik]\nCOLOUR=red\nPOSY=5\n"));
    EXPECT_EQ(5, Values.PosY);
    EXPECT_EQ(100, Values.PosX);
}

TEST_F(Settings, CrLfReadsTheSameAsLf) {
    ASSERT_TRUE(Load("HIDE=1\r\nRESUME=0\r\nPOSX=150\r\nPOSY=160\r\nPOSH=170\r\nPOSW=180\r\n"));
    EXPECT_TRUE(Values.StartHidden);
    EXPECT_FALSE(Values.ShowSummary);
    EXPECT_EQ(150, Values.PosX);
    EXPECT_EQ(160, Values.PosY);
    EXPECT_EQ(170, Values.PosH);
    EXPECT_EQ(180, Values.PosW);
}

TEST_F(Settings, LongLinesAreReadInPiecesOfNinetyNine) {
    // 99 characters of padding make a piece of their own; the rest of that
    // line, "POSX=42", is then read as a line.
    ASSERT_TRUE(Load(std::string(99, 'x') + "POSX=42\n"));
    EXPECT_EQ(42, Values.PosX);

    // A key cut by the piece boundary is not seen.
    Values = TSettings();
    ASSERT_TRUE(Load(std::string(95, 'y') + "POSX=42\n"));
    EXPECT_EQ(100, Values.PosX);

    // A line end that falls right after a 99-character piece makes an empty
    // line, which is harmless.
    Values = TSettings();
    ASSERT_TRUE(Load("POSY=" + std::string(94, '7') + "\nPOSH=3\n"));
    EXPECT_EQ(2147483647, Values.PosY);
    EXPECT_EQ(3, Values.PosH);
}

TEST_F(Settings, TextAfterAZeroByteIsNotSeen) {
    ASSERT_TRUE(Load(std::string("POSX=1\0POSY=9\n", 14) + "POSH=4\n"));
    EXPECT_EQ(1, Values.PosX);
    EXPECT_EQ(100, Values.PosY);
    EXPECT_EQ(4, Values.PosH);
}

TEST_F(Settings, UnreadableFileIsReportedAndStopsTheReading) {
    FaultyFileOps files;
    files.FailCall = FaultyFileOps::OpenCall;
    files.FailAt = 0;
    WriteBytes(File, Bytes("HIDE=1\n"));
    EXPECT_FALSE(LoadSettings(Values, Messages, files, File));
    EXPECT_FALSE(Values.StartHidden);
    ASSERT_EQ(1u, Messages.Log.size());
    EXPECT_EQ("File Access Error", Messages.Log[0].Text);
    EXPECT_EQ("Error", Messages.Log[0].Caption);
    EXPECT_EQ(MB_OK, Messages.Log[0].Type);
}

// Something that is not a settings file stands under its name: it is refused
// as unreadable without waiting or reading without end, and left as it is.
class OddSettingsFile : public Settings {
  protected:
    void ExpectRefused() {
        struct stat before {};
        ASSERT_EQ(0, ::lstat(File.c_str(), &before));
        EXPECT_FALSE(LoadSettings(Values, Messages, SystemFileOps(), File));
        ASSERT_EQ(1u, Messages.Log.size());
        EXPECT_EQ("File Access Error", Messages.Log[0].Text);
        EXPECT_EQ(FormatSettings(TSettings()), FormatSettings(Values));
        struct stat after {};
        ASSERT_EQ(0, ::lstat(File.c_str(), &after));
        EXPECT_EQ(before.st_ino, after.st_ino);
        EXPECT_EQ(before.st_mode, after.st_mode);
    }
};

TEST_F(OddSettingsFile, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(0, ::mkfifo(File.c_str(), 0644));
    ExpectRefused();
}

TEST_F(OddSettingsFile, DirectoryIsRefused) {
    ASSERT_EQ(0, ::mkdir(File.c_str(), 0755));
    ExpectRefused();
}

TEST_F(OddSettingsFile, LinkToAnEndlessDeviceIsRefusedUnread) {
    ASSERT_EQ(0, ::symlink("/dev/zero", File.c_str()));
    ExpectRefused();
}

TEST_F(OddSettingsFile, HugeFileIsRefusedUnread) {
    WriteBytes(File, Bytes("HIDE=1\n"));
    ASSERT_EQ(0, ::truncate(File.c_str(), static_cast<off_t>(MaxReadSize) + 1));
    ExpectRefused();
}

TEST_F(OddSettingsFile, FileItsUserMayNotReadIsRefused) {
    WriteBytes(File, Bytes("HIDE=1\n"));
    ASSERT_EQ(0, ::chmod(File.c_str(), 0));
    ScopedFilePermissions asAUser;
    if (!asAUser.Enforced())
        GTEST_SKIP() << "root's right to ignore file permissions cannot be dropped here";
    ExpectRefused();
}

// Writing

TEST_F(Settings, DefaultsAreWrittenAsSixCrLfLines) {
    ASSERT_TRUE(SaveSettings(TSettings(), Messages, SystemFileOps(), File));
    EXPECT_EQ("HIDE=0\r\nRESUME=1\r\nPOSX=100\r\nPOSY=100\r\nPOSH=200\r\nPOSW=400\r\n",
              Text(ReadBytes(File)));
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(Settings, WrittenFileReadsBackToTheSameValues) {
    TSettings written;
    written.StartHidden = true;
    written.ShowSummary = false;
    written.PosX = -20;
    written.PosY = 0;
    written.PosH = 2147483647;
    written.PosW = -2147483647 - 1;
    ASSERT_TRUE(SaveSettings(written, Messages, SystemFileOps(), File));
    EXPECT_EQ("HIDE=1\r\nRESUME=0\r\nPOSX=-20\r\nPOSY=0\r\nPOSH=2147483647\r\n"
              "POSW=-2147483648\r\n",
              Text(ReadBytes(File)));

    TSettings read;
    ASSERT_TRUE(LoadSettings(read, Messages, SystemFileOps(), File));
    EXPECT_EQ(written.StartHidden, read.StartHidden);
    EXPECT_EQ(written.ShowSummary, read.ShowSummary);
    EXPECT_EQ(written.PosX, read.PosX);
    EXPECT_EQ(written.PosY, read.PosY);
    EXPECT_EQ(written.PosH, read.PosH);
    EXPECT_EQ(written.PosW, read.PosW);
}

TEST_F(Settings, SavingReplacesUnknownLinesWithTheSix) {
    ASSERT_TRUE(Load("RESUME=0\n; mine\nhide=0\n"));
    ASSERT_TRUE(SaveSettings(Values, Messages, SystemFileOps(), File));
    EXPECT_EQ("HIDE=0\r\nRESUME=0\r\nPOSX=100\r\nPOSY=100\r\nPOSH=200\r\nPOSW=400\r\n",
              Text(ReadBytes(File)));
}

// Every save fault (each call failing in turn, a full disk, read-only places,
// links) is in SaveTest.cpp, for this file and the reminder file alike.

} // namespace
} // namespace vobrik
