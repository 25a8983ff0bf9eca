#include "app/Settings.h"

#include "Support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

// The six values in the order of the file.
std::string Show(const TSettings& s) {
    return std::to_string(s.StartHidden) + " " + std::to_string(s.ShowSummary) + " " +
           std::to_string(s.PosX) + " " + std::to_string(s.PosY) + " " + std::to_string(s.PosH) +
           " " + std::to_string(s.PosW);
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
};

TEST_F(Settings, LinesAreReadAsKeyEqualsValue) {
    EXPECT_TRUE(LoadSettings(Values, Messages, SystemFileOps(), File)) << "no file";
    EXPECT_EQ("0 1 100 100 200 400", Show(Values));
    // Read over values that are none of the defaults, so that a value left
    // alone shows as well as one set.
    const char* const Before = "1 0 1 2 3 4";
    const struct {
        const char* Name;
        std::string Text;
        const char* After;
    } cases[] = {
        {"keys in any case", "hide=0\nResume=1\n", "0 1 1 2 3 4"},
        {"blanks around a key count", "HIDE =0\n RESUME=1\n", Before},
        {"only a leading 1 is true", "HIDE=yes\nRESUME=1 and more\n", "0 1 1 2 3 4"},
        {"positions", "POSX= 150\nPOSY=12abc\nPOSH=-20\nPOSW=abc\n", "1 0 150 12 -20 0"},
        {"beyond 32 bits, held at the ends", "POSX=99999999999\nPOSY=-99999999999\n",
         "1 0 2147483647 -2147483648 3 4"},
        {"the later line wins; split at the first =", "POSX=5\nPOSX=7=2\n", "1 0 7 2 3 4"},
        // Lines are read in pieces of 99 characters, each piece a line of its own.
        {"a 99-character piece, then the rest", std::string(99, 'x') + "POSX=42\n", "1 0 42 2 3 4"},
        {"key cut by a piece boundary", std::string(95, 'y') + "POSX=42\n", Before},
        {"text after a zero byte", std::string("POSX=8\0POSY=9\n", 14) + "POSH=4\n", "1 0 8 2 4 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Values = {true, false, 1, 2, 3, 4};
        EXPECT_TRUE(Load(c.Text));
        EXPECT_EQ(c.After, Show(Values));
    }
    // Notifications turned off stay off through the next save.
    EXPECT_TRUE(Load("notify=0\n") && !Values.Notify);
    EXPECT_EQ("NOTIFY=0\r\n",
              FormatSettings(Values).substr(FormatSettings(Values).rfind("NOTIFY")));
    EXPECT_TRUE(Messages.Log.empty());
}

} // namespace
} // namespace vobrik
