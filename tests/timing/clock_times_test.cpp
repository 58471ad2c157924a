// The still forms' clock-time list: what it takes, what it refuses, and the
// count it gives before anything is stored.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "timing/timing.h"

namespace {

std::vector<int32_t> parsed(const char* text) {
    const int64_t count = timing::parse_clock_times(text, nullptr, 0);
    if (count < 0) return {-99, -99, -99};  // no list; no accepted one is this
    std::vector<int32_t> times(static_cast<size_t>(count));
    EXPECT_EQ(timing::parse_clock_times(text, times.data(), count), count) << text;
    return times;
}

TEST(ClockTimes, WholeMillisecondsWithinSignedThirtyTwoBitsInTheOrderGiven) {
    EXPECT_EQ(parsed("0"), (std::vector<int32_t>{0}));
    EXPECT_EQ(parsed("-2147483648,2147483647,-5,0,-0,007"), (std::vector<int32_t>{INT32_MIN, INT32_MAX, -5, 0, 0, 7}));
    // Stores no more than the room it is given, and still counts them all.
    int32_t two[2] = {};
    EXPECT_EQ(timing::parse_clock_times("4,5,6", two, 2), 3);
    EXPECT_EQ(two[1], 5);
}

TEST(ClockTimes, AnythingElseIsNoList) {
    for (const char* bad : {"", ",", "1,", ",1", "1,,2", "1-2", "5 6", "+5", " 5", "5 ", "-", "--5", "1e3", "0x10",
                            "5ms", "2147483648", "-2147483649", "99999999999999999999999", "1,2147483648"}) {
        EXPECT_EQ(timing::parse_clock_times(bad, nullptr, 0), -1) << '"' << bad << '"';
    }
}

}  // namespace
