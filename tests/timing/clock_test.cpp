// The demo clock: its calls at start, and elapsed time across the timer's
// wrap at 2^32.
#include <gtest/gtest.h>

#include "support/fake_log.h"
#include "timing/timing.h"

namespace {

using Log = std::vector<std::string>;

TEST(Clock, StartWithdrawsTheResolutionRequestAtOnceThenTakesTheBase) {
    platform_fake::reset();
    platform_fake::script().timer_now = 1000;
    platform_fake::script().timer_step = 40;
    timing::clock_start();
    EXPECT_EQ(test_support::fake_log(), (Log{"timer_period_begin 1", "timer_period_end 1", "timer_ms"}));
    EXPECT_EQ(timing::clock_elapsed(), 40u);
    EXPECT_EQ(timing::clock_elapsed(), 80u);
}

TEST(Clock, ElapsedTimeStaysRightAcrossTheWrapAndPastHalfTheRange) {
    platform_fake::reset();
    platform_fake::script().timer_now = 0xFFFFFF00u;
    platform_fake::script().timer_step = 0x200;
    timing::clock_start();
    EXPECT_EQ(timing::clock_elapsed(), 0x200u);  // the reading is 0x100, below the base

    // Beyond 2^31 ms the frame loop's signed t is negative; the count itself
    // is still the true one.
    platform_fake::script().timer_now = 0xFFFFFF00u + 0x80000010u;
    EXPECT_EQ(timing::clock_elapsed(), 0x80000010u);
    EXPECT_LT(static_cast<int32_t>(0x80000010u), 0);
}

}  // namespace
