#include "summary/ResWin.h"

#include "Fakes.h"
#include "RecordingDC.h"
#include "calendar/NameDays.h"
#include "core/CheckPass.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace vobrik {
namespace {

using namespace vobrik::test;

using Strings = std::vector<std::string>;
using Tops = std::vector<int32_t>;

TSummaryLines MakeLines(std::initializer_list<const char*> texts) {
    TSummaryLines head;
    TSummaryLines* tail = &head;
    for (const char* text : texts) {
        *tail = std::make_unique<TSummaryLine>(text);
        tail = &(*tail)->Next;
    }
    return head;
}

class ResWin : public ::testing::Test {
  protected:
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    std::string NameFile = Dir.Path("FETES.TXT");
    FakeSummaryOwner Owner;
    FakeResWinShell Shell;
    RecordingDC DC;
    // Client area 398 x 198 with the shell's default frame.
    std::unique_ptr<TResWin> Win = Open();

    std::unique_ptr<TResWin> Open() {
        auto win = std::make_unique<TResWin>(&Owner);
        Owner.ResWin = win.get();
        win->Attr = {100, 120, 400, 200};
        const std::string path = NameFile;
        win->NameDays = [path](IMessages& owner, int32_t when, char* out, size_t capacity) {
            LookupNameDaysIn(owner, when, out, capacity, path.c_str());
        };
        return win;
    }
    void Names(const std::string& lines) { std::ofstream(NameFile, std::ios::binary) << lines; }
    // The helper below takes the lines; the fixture's own set-up stays reachable.
    using ::testing::Test::SetUp;
    void SetUp(TSummaryLines today, TSummaryLines tomorrow) {
        Win->TodayLines = std::move(today);
        Win->TomorrowLines = std::move(tomorrow);
        Win->SetupWindow(Shell);
        Shell.Calls.clear();
    }
    void Paint(int32_t now) {
        DC = RecordingDC();
        Win->Paint(DC, now);
    }
    // Wraps with every character 10 pixels wide, from y = 100.
    int32_t Y = 100;
    Strings Wrap(const char* text, int32_t width) {
        char buffer[200];
        std::strcpy(buffer, text);
        TResWin::DrawCommaWrapped(buffer, DC, TRect{7, 0, 7 + width, 50}, Y);
        return DC.TextStrings();
    }
    std::vector<int32_t> RuleHeights() const {
        std::vector<int32_t> heights;
        for (const auto& line : DC.Lines) {
            EXPECT_EQ(line.FromY, line.ToY);
            heights.push_back(line.FromY);
        }
        return heights;
    }
};

// 55 + 15 a reminder line + 60, and 10 more before tomorrow's lines; lines
// without text take no room.
TEST_F(ResWin, SetupHeightGrowsWithTheReminderLines) {
    struct Case {
        std::initializer_list<const char*> Today, Tomorrow;
        int32_t Height;
    };
    const Case cases[] = {
        {{}, {}, 115},
        {{"<alarme> - a", "10:00 - b"}, {}, 145},
        {{"<alarme> - a", "10:00 - b"}, {"08:00 - c"}, 170},
        {{}, {"08:00 - c", "09:00 - d", "10:00 - e"}, 170},
        {{"08:00 - a", "", "09:00 - b"}, {}, 145},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Height);
        Shell.Calls.clear();
        Win->TodayLines = MakeLines(c.Today);
        Win->TomorrowLines = MakeLines(c.Tomorrow);
        Win->SetupWindow(Shell);
        EXPECT_EQ(Strings{"SetWindowPos 100 120 400 " + std::to_string(c.Height)}, Shell.Calls);
    }
}

TEST_F(ResWin, PaintDrawsBothPanelsCallByCall) {
    Names("01/05;Joseph\n02/05;Boris\n");
    SetUp(MakeLines({"09:00 - Dentiste"}), MakeLines({"18:30 - Train"}));
    Paint(Local(2026, 5, 1, 8, 0));
    const Strings expected = {
        "SetBkColor (0,255,255)",
        "SelectObject brush (0,255,255)",
        "SelectStockObject NULL_PEN",
        "Rectangle 0 0 398 153",
        "SelectObject font Arial 20",
        "SetTextColor (0,0,192)",
        "TextOut 5 3 Vendredi 1 mai 2026",
        "SetTextColor (0,0,128)",
        "SelectObject font Arial 15",
        "TextOut 5 25 Joseph",
        "SelectObject pen (0,0,200) 1",
        "MoveTo 0 50",
        "LineTo 398 50",
        "SelectObject font Arial 12",
        "SetTextColor (0,0,64)",
        "TextOut 5 55 09:00 - Dentiste",
        "SelectObject pen (0,192,192) 4",
        "MoveTo 0 75",
        "LineTo 398 75",
        "SetBkColor (224,224,224)",
        "SelectObject brush (224,224,224)",
        "SelectStockObject NULL_PEN",
        "Rectangle 0 77 398 153",
        "SelectObject font Arial 20",
        "SetTextColor (0,128,0)",
        "TextOut 5 83 Samedi 2 mai 2026",
        "SetTextColor (0,64,0)",
        "SelectObject font Arial 15",
        "TextOut 5 105 Boris",
        "SelectObject pen (128,128,128) 1",
        "MoveTo 0 130",
        "LineTo 398 130",
        "SetTextColor (0,32,0)",
        "SelectObject font Arial 12",
        "TextOut 5 135 18:30 - Train",
        "RestoreObjects",
    };
    EXPECT_EQ(expected, DC.DrawingCalls());
    EXPECT_TRUE(Shell.Calls.empty()) << "the contents fit: no growth";
}

// Today one name-day line and two reminders, tomorrow two name-day lines and
// one reminder: Y = 35 + 20 + 30 = 85.
TEST_F(ResWin, LayoutWithOneAndTwoNameDayLines) {
    Names("01/05;Joseph\n02/05;Boris, Zo\xE9, Sigismond, Athanase, Philippe\n");
    SetUp(MakeLines({"<alarme> - a", "10:00 - b"}), MakeLines({"08:00 - c"}));
    Paint(Local(2026, 5, 1, 8, 0));
    EXPECT_EQ(
        (Strings{"Vendredi 1 mai 2026", "Joseph", "<alarme> - a", "10:00 - b", "Samedi 2 mai 2026",
                 "Boris, Zo\xE9, Sigismond, Athanase", " Philippe", "08:00 - c"}),
        DC.TextStrings());
    EXPECT_EQ((Tops{3, 25, 55, 70, 98, 120, 140, 170}), DC.TextTops());
    EXPECT_EQ((Tops{50, 90, 165}), RuleHeights());
    ASSERT_EQ(2u, DC.Fills.size());
    EXPECT_EQ(92, DC.Fills[1].Rect.Top);
    EXPECT_EQ(168, DC.Fills[1].Rect.Bottom) << "client area of the 170-pixel window";
}

// Today two name-day lines and no reminders, tomorrow one and none: the lower
// panel starts at 42 + 20 x 2.
TEST_F(ResWin, LayoutWithTwoAndOneNameDayLinesAndNoReminders) {
    Names("01/05;Joseph, Jos\xE9, Josette, Jos\xE9phine, Joselyne\n02/05;Boris\n");
    SetUp(nullptr, nullptr);
    Paint(Local(2026, 5, 1, 8, 0));
    EXPECT_EQ((Strings{"Vendredi 1 mai 2026", "Joseph, Jos\xE9, Josette, Jos\xE9phine", " Joselyne",
                       "Samedi 2 mai 2026", "Boris"}),
              DC.TextStrings());
    EXPECT_EQ((Tops{3, 25, 45, 88, 110}), DC.TextTops());
    EXPECT_EQ((Tops{70, 80, 135}), RuleHeights());
    ASSERT_EQ(2u, DC.Fills.size());
    EXPECT_EQ(82, DC.Fills[1].Rect.Top);
}

// The lookup's error leaves an empty text: no name-day line, the separator
// right at 30.
TEST_F(ResWin, LookupErrorIsShownOverTheWindowAndDrawsNoNames) {
    Win->NameDays = [](IMessages& owner, int32_t, char* out, size_t) {
        out[0] = '\0';
        owner.MessageBox("File Access Error", "Error", MB_OK);
    };
    SetUp(nullptr, nullptr);
    Paint(Local(2026, 5, 1, 8, 0));
    EXPECT_EQ((Strings{"MessageBox File Access Error / Error / 0",
                       "MessageBox File Access Error / Error / 0"}),
              Shell.Calls);
    EXPECT_EQ((Strings{"Vendredi 1 mai 2026", "Samedi 2 mai 2026"}), DC.TextStrings());
    EXPECT_EQ((Tops{30, 40, 75}), RuleHeights());
}

TEST_F(ResWin, DatesAndNamesFollowTheClockWhileRemindersStayAsBuilt) {
    Names("01/05;Joseph\n02/05;Boris\n03/05;Philippe\n");
    SetUp(MakeLines({"23:59 - Tard"}), MakeLines({"08:00 - T\xF4t"}));
    Paint(Local(2026, 5, 1, 23, 59, 30));
    EXPECT_EQ((Strings{"Vendredi 1 mai 2026", "Joseph", "23:59 - Tard", "Samedi 2 mai 2026",
                       "Boris", "08:00 - T\xF4t"}),
              DC.TextStrings());
    Paint(Local(2026, 5, 2, 0, 0, 30));
    EXPECT_EQ((Strings{"Samedi 2 mai 2026", "Boris", "23:59 - Tard", "Dimanche 3 mai 2026",
                       "Philippe", "08:00 - T\xF4t"}),
              DC.TextStrings());
}

// The next day is taken on its own clock: late on the eve of a daylight-saving
// change it is still the following date, not the one after.
TEST_F(ResWin, TomorrowIsTheNextDateLateOnTheEveOfAChange) {
    Names("03/05;Philippe\n");
    SetUp(nullptr, nullptr);
    struct Case {
        const char* Zone;
        int Month, Day;
        const char* Today;
        const char* Tomorrow;
    };
    const Case cases[] = {
        {"Europe/Paris", 3, 28, "Samedi 28 mars 2026", "Dimanche 29 mars 2026"},
        {"America/Santiago", 9, 5, "Samedi 5 septembre 2026", "Dimanche 6 septembre 2026"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Zone);
        ScopedTz zone(c.Zone);
        Paint(Local(2026, c.Month, c.Day, 23, 30));
        EXPECT_EQ((Strings{c.Today, NameDaysNotFound, c.Tomorrow, NameDaysNotFound}),
                  DC.TextStrings());
    }
}

TEST_F(ResWin, LinesWithoutTextAreSkippedAndMissingNamesSaySo) {
    Names("03/05;Philippe\n");
    SetUp(MakeLines({"08:00 - a", "", "09:00 - b"}), nullptr);
    Paint(Local(2026, 5, 1, 7, 0));
    EXPECT_EQ((Strings{"Vendredi 1 mai 2026", NameDaysNotFound, "08:00 - a", "09:00 - b",
                       "Samedi 2 mai 2026", NameDaysNotFound}),
              DC.TextStrings());
    EXPECT_EQ(70, DC.Texts[3].Y);
}

// Ten today lines and one name-day line a day: the contents need
// 80 + 20 x 2 + 15 x 10 = 270 pixels; the window is set up 265 high.
TEST_F(ResWin, GrowsOnceWhileTooShortAndAgainOnlyAfterAPaintThatFits) {
    Names("01/05;Joseph\n02/05;Boris\n"
          "03/05;Aaaaaaaaaaaaaaaaaaaa, Bbbbbbbbbbbbbbbbbbbb, Cccccccccccccccccccc\n");
    SetUp(MakeLines({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}), nullptr);
    Shell.FrameHeight = 10;
    Paint(Local(2026, 5, 1, 8, 0)); // 255 client pixels
    EXPECT_EQ((Strings{"SetWindowPos 100 120 400 276", "Invalidate"}), Shell.Calls);
    Shell.Calls.clear();
    Paint(Local(2026, 5, 1, 8, 0)); // 266 is still 4 pixels short
    EXPECT_TRUE(Shell.Calls.empty());
    EXPECT_TRUE(Win->Grown);
    Shell.FrameHeight = 2;
    Paint(Local(2026, 5, 1, 8, 0)); // 274 fits
    EXPECT_TRUE(Shell.Calls.empty());
    EXPECT_FALSE(Win->Grown);
    // A day later tomorrow's names take three lines: 80 + 20 x 4 + 150 = 310.
    Paint(Local(2026, 5, 2, 8, 0));
    EXPECT_EQ((Strings{"SetWindowPos 100 120 400 316", "Invalidate"}), Shell.Calls);
}

// Every character is 10 pixels wide. The limit is the whole client width,
// although lines start at x = 5; a line breaks once it reaches the limit.
TEST_F(ResWin, WrapBreaksAtTheLastCommaOfTheLineWithoutDrawingIt) {
    struct Case {
        const char* Text;
        int32_t Width;
        Strings Lines;
    };
    const Case cases[] = {
        {"Alphonse, Bernadette", 150, {"Alphonse", " Bernadette"}},
        {"Anne, Luc", 91, {"Anne, Luc"}},
        {"Anne, Luc", 90, {"Anne", " Luc"}},
        {"Abcd,Efgh,", 50, {"Abcd", "Efgh"}},
        {"Al, Bo, Cy, Dan", 130, {"Al, Bo, Cy", " Dan"}},
        // Without a comma the overflowing character starts the next line; a
        // comma at the line start is no break position.
        {"Abcdefgh", 50, {"Abcd", "efgh"}},
        {",abcdefg", 50, {",abc", "defg"}},
        {"abc", 5, {"a", "b", "c"}},
        {"", 100, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Text) + " in " + std::to_string(c.Width));
        DC = RecordingDC();
        Y = 100;
        EXPECT_EQ(c.Lines, Wrap(c.Text, c.Width));
        Tops tops;
        for (size_t i = 0; i < c.Lines.size(); ++i)
            tops.push_back(100 + 20 * static_cast<int32_t>(i));
        EXPECT_EQ(tops, DC.TextTops());
        EXPECT_EQ(100 + 20 * static_cast<int32_t>(c.Lines.size()), Y);
        for (const auto& text : DC.Texts)
            EXPECT_EQ(5, text.X);
    }
}

TEST_F(ResWin, WrapCharactersAreMeasuredAsUnsignedBytesInTheCurrentFont) {
    DC.OwnWidth[0xE9] = 45;
    EXPECT_EQ((Strings{"\xE9\xE9", " x"}), Wrap("\xE9\xE9, x", 100));
    EXPECT_EQ("GetCharWidth 233", DC.Calls.front());
}

// Only a release at the point of the last press in the window is a click.
TEST_F(ResWin, ClickAtTheSamePointClosesAndAnyOtherReleaseDoesNot) {
    struct Case {
        const char* Name;
        std::vector<TPoint> Presses;
        TPoint Release;
        bool Closes;
    };
    const Case cases[] = {
        {"same point", {{10, 10}}, {10, 10}, true},
        {"one pixel right", {{10, 10}}, {11, 10}, false},
        {"one pixel down", {{10, 10}}, {10, 11}, false},
        {"no press", {}, {0, 0}, false},
        {"last press counts", {{10, 10}, {30, 40}}, {30, 40}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Win.reset();
        Win = Open();
        SetUp(nullptr, nullptr);
        for (const TPoint& press : c.Presses)
            Win->EvLButtonDown(press);
        Win->EvLButtonUp(c.Release);
        EXPECT_EQ(c.Closes ? Strings{"DestroyWindow"} : Strings{}, Shell.Calls);
        EXPECT_EQ(c.Closes ? nullptr : Win.get(), Owner.ResWin);
        EXPECT_EQ(!c.Closes, Win->IsOpen());
        EXPECT_EQ(c.Closes ? nullptr : static_cast<IResWinOwner*>(&Owner), Win->Owner);
    }
}

TEST_F(ResWin, OwnerIsToldOnceHoweverTheWindowGoes) {
    SetUp(nullptr, nullptr);
    Win->Destroy(0);
    Win->Destroy(0);
    Win.reset();
    EXPECT_EQ(1, Owner.Clears);
    EXPECT_EQ(Strings{"DestroyWindow"}, Shell.Calls);

    Win = Open();
    SetUp(nullptr, nullptr);
    Win->WindowDestroyed(); // gone with its parent
    EXPECT_EQ(nullptr, Owner.ResWin);
    EXPECT_TRUE(Shell.Calls.empty()) << "the screen window is already gone";
    Win.reset();
    EXPECT_EQ(2, Owner.Clears);
}

TEST_F(ResWin, DestructorFreesTheLinesBeforeClosingTheOpenWindow) {
    SetUp(MakeLines({"a"}), MakeLines({"b"}));
    bool linesFreedFirst = false;
    Owner.OnClear = [&] {
        linesFreedFirst =
            Owner.ResWin->TodayLines == nullptr && Owner.ResWin->TomorrowLines == nullptr;
    };
    Win.reset();
    EXPECT_TRUE(linesFreedFirst);
    EXPECT_EQ(nullptr, Owner.ResWin);
    EXPECT_EQ(Strings{"DestroyWindow"}, Shell.Calls);
}

TEST_F(ResWin, MainDialogDestroyedFirstIsNeverWrittenTo) {
    auto dialog = std::make_unique<FakeSummaryOwner>();
    Win->Owner = dialog.get();
    dialog->ResWin = Win.get();
    SetUp(nullptr, nullptr);
    // The dialog's destructor lets go of the window before it goes.
    dialog->ResWin->Owner = nullptr;
    dialog.reset();
    Win->EvLButtonDown({3, 4});
    Win->EvLButtonUp({3, 4});
    Win.reset();
    EXPECT_EQ(Strings{"DestroyWindow"}, Shell.Calls);
    EXPECT_EQ(0, Owner.Clears);
}

// The check pass stays off while the summary is open and runs at the first
// tick after a click closed it.
TEST_F(ResWin, CheckPassWaitsUntilTheSummaryCloses) {
    FakeList list;
    FakeMessages messages;
    FakeClock clock;
    FakeTimer timer;
    FakeSound sound;
    ScriptedRinger ringer;
    TAlarmTable table{list, messages, clock, SystemFileOps(), Dir.Path("ALARMS.VBK")};
    TAlarmChecker checker{table, timer, sound, ringer};
    clock.Time = Local(2026, 5, 1, 12, 0);
    TAlarm due;
    due.When = clock.Time - 3600;
    SetAlarmMessage(due, "En retard");
    table.Append(due);
    table.RefreshAlarmList();

    SetUp(BuildSummaryLines(table, clock.Time).Today, nullptr);
    checker.OnCheckTimer(Owner.ResWin != nullptr);
    clock.Time += 30;
    checker.OnCheckTimer(Owner.ResWin != nullptr);
    EXPECT_EQ(0, sound.Rings());
    EXPECT_TRUE(ringer.Shown.empty());

    Win->EvLButtonDown({50, 60});
    Win->EvLButtonUp({50, 60});
    ringer.Script.push_back({});
    clock.Time += 30;
    checker.OnCheckTimer(Owner.ResWin != nullptr);
    EXPECT_EQ(1, sound.Rings());
    ASSERT_EQ(1u, ringer.Shown.size());
    EXPECT_STREQ("En retard", ringer.Shown[0].Message);
}

} // namespace
} // namespace vobrik
