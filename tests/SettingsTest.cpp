#include "app/Settings.h"

#include "Fakes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vobrik {
namespace {

using namespace vobrik::test;

// The six values in the order of the file.
std::string Show(const TSettings& s) {
    return std::to_string(s.StartHidden) + " " + std::to_string(s.ShowSummary) + " " +
           std::to_string(s.PosX) + " " + std::to_string(s.PosY) + " " + std::to_string(s.PosH) +
           " " + std::to_string(s.PosW);
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
        WriteBytes(File, {contents.begin(), contents.end()});
        return LoadSettings(Values, Messages, SystemFileOps(), File);
    }
    bool Save() { return SaveSettings(Values, Messages, SystemFileOps(), File); }
};

TEST_F(Settings, MissingFileKeepsTheDefaultsAndCreatesNothing) {
    EXPECT_TRUE(LoadSettings(Values, Messages, SystemFileOps(), File));
    EXPECT_EQ("0 1 100 100 200 400", Show(Values));
    EXPECT_TRUE(Messages.Log.empty());
    EXPECT_FALSE(std::filesystem::exists(File));
}

TEST_F(Settings, LinesAreReadAsKeyEqualsValue) {
    // Read over values that are none of the defaults, so that a value left
    // alone shows as well as one set.
    const char* const Before = "1 0 1 2 3 4";
    const struct {
        const char* Name;
        std::string Text;
        const char* After;
    } cases[] = {
        {"empty file", "", Before},
        {"keys are upper-cased", "hide=0\nResume=1\n", "0 1 1 2 3 4"},
        {"blanks around a key count", "HIDE =0\n RESUME=1\n", Before},
        {"HIDE=yes", "HIDE=yes\n", "0 0 1 2 3 4"},
        {"HIDE= 1", "HIDE= 1\n", "0 0 1 2 3 4"},
        {"HIDE=", "HIDE=\n", "0 0 1 2 3 4"},
        {"HIDE=2", "HIDE=2\n", "0 0 1 2 3 4"},
        {"HIDE= at the end of the file", "HIDE=", "0 0 1 2 3 4"},
        {"a leading 1 is enough", "RESUME=1 and more\n", "1 1 1 2 3 4"},
        {"RESUME=1 at the end of the file", "RESUME=1", "1 1 1 2 3 4"},
        {"positions as atol reads them", "POSX= 150\nPOSY=12abc\nPOSH=-20\nPOSW=abc\n",
         "1 0 150 12 -20 0"},
        {"sign and tabs", "POSX=+33\nPOSY=\t\t8\n", "1 0 33 8 3 4"},
        {"beyond 32 bits, held at the ends",
         "POSX=99999999999\nPOSY=-99999999999\nPOSW=2147483647\n",
         "1 0 2147483647 -2147483648 3 2147483647"},
        {"split at the first =", "POSX=7=2\n", "1 0 7 2 3 4"},
        {"the later line wins", "POSX=5\nPOSX=6\n", "1 0 6 2 3 4"},
        {"comments, blank lines, unknown keys", "; a comment\n\n[Vobrik]\nCOLOUR=red\nPOSY=5\n",
         "1 0 1 5 3 4"},
        {"CR LF", "HIDE=0\r\nRESUME=1\r\nPOSX=150\r\nPOSY=160\r\nPOSH=170\r\nPOSW=180\r\n",
         "0 1 150 160 170 180"},
        // Lines are read in pieces of 99 characters, each piece a line of its own.
        {"a 99-character piece, then the rest", std::string(99, 'x') + "POSX=42\n", "1 0 42 2 3 4"},
        {"key cut by a piece boundary", std::string(95, 'y') + "POSX=42\n", Before},
        {"line end right after a piece", "POSY=" + std::string(94, '7') + "\nPOSH=9\n",
         "1 0 1 2147483647 9 4"},
        {"text after a zero byte", std::string("POSX=8\0POSY=9\n", 14) + "POSH=4\n", "1 0 8 2 4 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Values = {true, false, 1, 2, 3, 4};
        EXPECT_TRUE(Load(c.Text));
        EXPECT_EQ(c.After, Show(Values));
    }
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(Settings, SaveWritesTheSixLinesOnly) {
    // Two keys, one in lower case, and a comment: the other values stay the
    // defaults, and the comment is not written back.
    ASSERT_TRUE(Load("RESUME=0\n; mine\nhide=1\n"));
    ASSERT_TRUE(Save());
    EXPECT_EQ("HIDE=1\r\nRESUME=0\r\nPOSX=100\r\nPOSY=100\r\nPOSH=200\r\nPOSW=400\r\n",
              Text(ReadBytes(File)));

    Values = TSettings();
    ASSERT_TRUE(Save());
    EXPECT_EQ("HIDE=0\r\nRESUME=1\r\nPOSX=100\r\nPOSY=100\r\nPOSH=200\r\nPOSW=400\r\n",
              Text(ReadBytes(File)));
    EXPECT_TRUE(Messages.Log.empty());
}

TEST_F(Settings, WrittenFileReadsBackToTheSameValues) {
    Values = {true, false, -20, 0, 2147483647, -2147483647 - 1};
    ASSERT_TRUE(Save());
    EXPECT_EQ("HIDE=1\r\nRESUME=0\r\nPOSX=-20\r\nPOSY=0\r\nPOSH=2147483647\r\n"
              "POSW=-2147483648\r\n",
              Text(ReadBytes(File)));
    TSettings read;
    ASSERT_TRUE(LoadSettings(read, Messages, SystemFileOps(), File));
    EXPECT_EQ(Show(Values), Show(read));
}

// Every fault of reading and saving (odd files, each call failing in turn, a
// full disk, read-only places, links) is in SaveTest.cpp, for this file and the
// reminder file alike.

} // namespace
} // namespace vobrik
