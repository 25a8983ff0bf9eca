#include "dialogs/InputGuard.h"

#include <gtest/gtest.h>

namespace vobrik {
namespace {

// The dialog is shown at an arbitrary moment of a monotonic clock.
constexpr int64_t Shown = 123456;

// The first moment from `from` on, in 1 ms steps, at which the guard says it is open.
int64_t FirstOpenMoment(TInputGuard& guard, int64_t from, int64_t limit) {
    for (int64_t t = from; t <= limit; ++t)
        if (guard.Check(t))
            return t;
    return -1;
}

// Input during the first half of the first second does not move the opening.
TEST(InputGuard, OpensOneSecondAfterShownWithoutLateInput) {
    for (const bool early : {false, true}) {
        SCOPED_TRACE(early ? "input at 0 and 300 ms" : "no input");
        TInputGuard guard(Shown);
        if (early) {
            EXPECT_TRUE(guard.Discard(Shown));
            EXPECT_TRUE(guard.Discard(Shown + 300));
        }
        EXPECT_EQ(Shown + 1000, guard.OpensAt());
        EXPECT_EQ(Shown + 1000, FirstOpenMoment(guard, Shown, Shown + 5000));
    }
}

TEST(InputGuard, HeldKeyRepeatingEvery30MsKeepsItClosedUntilHalfASecondAfterRelease) {
    TInputGuard guard(Shown);
    const int64_t released = Shown + 4000;
    int64_t t = Shown - 20; // the key went down before the dialog appeared
    for (; t <= released; t += 30) {
        if (t >= Shown) {
            EXPECT_FALSE(guard.Check(t)) << "at " << t - Shown << " ms";
            EXPECT_TRUE(guard.Discard(t)) << "at " << t - Shown << " ms";
        }
    }
    const int64_t lastRepeat = t - 30;
    EXPECT_EQ(lastRepeat + 500, FirstOpenMoment(guard, lastRepeat, lastRepeat + 5000));
    EXPECT_FALSE(guard.Discard(lastRepeat + 501)) << "a key pressed now answers the dialog";
}

TEST(InputGuard, InputLateInTheFirstSecondStartsTheQuietIntervalAgain) {
    TInputGuard guard(Shown);
    EXPECT_TRUE(guard.Discard(Shown + 900));
    EXPECT_FALSE(guard.Check(Shown + 1000));
    EXPECT_TRUE(guard.Discard(Shown + 1399));
    EXPECT_EQ(Shown + 1899, FirstOpenMoment(guard, Shown + 1000, Shown + 5000));

    // Without a timer tick in between, input after the quiet interval still passes.
    TInputGuard late(Shown);
    EXPECT_TRUE(late.Discard(Shown + 800));
    EXPECT_TRUE(late.Discard(Shown + 1200));
    EXPECT_FALSE(late.Discard(Shown + 1700));
    EXPECT_TRUE(late.IsOpen());
}

TEST(InputGuard, StaysOpenOnceOpen) {
    TInputGuard guard(Shown);
    ASSERT_TRUE(guard.Check(Shown + 1000));
    for (int64_t t = Shown + 1000; t < Shown + 1100; t += 10)
        EXPECT_FALSE(guard.Discard(t));
    EXPECT_TRUE(guard.Check(Shown + 1100));
}

} // namespace
} // namespace vobrik
