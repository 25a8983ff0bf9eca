#include "app/StartUp.h"

#include "platform/Win.h"

#include <gtest/gtest.h>

namespace vobrik {
namespace {

bool Hidden(std::initializer_list<const char*> args) {
    std::vector<const char*> argv(args);
    return IsHideArgument(static_cast<int>(argv.size()), argv.data());
}

TEST(StartUp, HideInAnyCaseAsFirstArgumentStartsHidden) {
    EXPECT_TRUE(Hidden({"vobrik", "HIDE"}));
    EXPECT_TRUE(Hidden({"vobrik", "hide"}));
    EXPECT_TRUE(Hidden({"vobrik", "HiDe", "whatever"}));
}

TEST(StartUp, AnythingElseDoesNotHide) {
    EXPECT_FALSE(Hidden({"vobrik"}));
    EXPECT_FALSE(Hidden({"vobrik", "-hide"}));
    EXPECT_FALSE(Hidden({"vobrik", "/HIDE"}));
    EXPECT_FALSE(Hidden({"vobrik", "HIDE "}));
    EXPECT_FALSE(Hidden({"vobrik", "HIDDEN"}));
    EXPECT_FALSE(Hidden({"vobrik", "HID"}));
    EXPECT_FALSE(Hidden({"vobrik", ""}));
    EXPECT_FALSE(Hidden({"vobrik", "now", "HIDE"}));
    // Only ASCII letters are folded: the Windows-1252 i with circumflex is not an I.
    EXPECT_FALSE(Hidden({"vobrik", "H\xCE"
                                   "DE"}));
}

TEST(StartUp, ShowCommandsOtherThanHiddenAndMinimisedShowTheFrame) {
    EXPECT_EQ(SW_HIDE, AdjustShowCommand(SW_HIDE, false));
    EXPECT_EQ(SW_SHOWMINNOACTIVE, AdjustShowCommand(SW_SHOWMINNOACTIVE, false));
    for (const int incoming :
         {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOW, SW_MINIMIZE, SW_RESTORE, 10})
        EXPECT_EQ(SW_SHOW, AdjustShowCommand(incoming, false)) << incoming;
}

TEST(StartUp, AHiddenStartHidesWhateverTheShowCommand) {
    for (const int incoming : {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED})
        EXPECT_EQ(SW_HIDE, AdjustShowCommand(incoming, true)) << incoming;
}

} // namespace
} // namespace vobrik
