#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/fixed_point.h"
#include "support/pages.h"

using test_support::reference_blend;

TEST(Blend, MatchesPerChannelFloorForEveryWeightPair) {
    std::mt19937 rng(7);  // 32-bit words
    for (int trial = 0; trial < 200; ++trial) {
        const Pixel p[4] = {Pixel(rng()), Pixel(rng()), Pixel(rng()), Pixel(rng())};
        for (uint32_t fx = 0; fx < 16; ++fx) {
            for (uint32_t fy = 0; fy < 16; ++fy) {
                ASSERT_EQ(fixed_point::blend4(p[0], p[1], p[2], p[3], fx, fy),
                          reference_blend(p[0], p[1], p[2], p[3], fx, fy))
                    << "fx " << fx << " fy " << fy;
            }
        }
    }
}

TEST(Blend, TruncatesWithoutRoundingTopByteIncluded) {
    EXPECT_EQ(fixed_point::blend4(0x00000000u, 0xFFFFFFFFu, 0, 0, 15, 0), 0xEFEFEFEFu);
    EXPECT_EQ(fixed_point::blend4(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 7, 9), 0xFFFFFFFFu);
    EXPECT_EQ(fixed_point::blend4(0x12345678u, 0, 0, 0, 0, 0), 0x12345678u);
}

TEST(Blend, WeightComesFromBits12To15) {
    EXPECT_EQ(fixed_point::weight4(0x00017FFF), 7u);
    EXPECT_EQ(fixed_point::weight4(0x0001F000), 15u);
    EXPECT_EQ(fixed_point::whole(0x027EFFFF), 638);
}

// Through a volatile, so the conversions run here rather than being folded
// by the compiler.
double at_run_time(double value) {
    volatile double held = value;
    return held;
}

TEST(Blend, TruncationSaturatesRightAtTheInt32Bounds) {
    using fixed_point::truncate_to_int;
    EXPECT_EQ(truncate_to_int(at_run_time(2147483647.0)), 2147483647);
    EXPECT_EQ(truncate_to_int(at_run_time(2147483647.999)), 2147483647);
    EXPECT_EQ(truncate_to_int(at_run_time(2147483648.0)), 2147483647);
    EXPECT_EQ(truncate_to_int(at_run_time(2147483648.5)), 2147483647);
    EXPECT_EQ(truncate_to_int(at_run_time(2147483649.0)), 2147483647);
    EXPECT_EQ(truncate_to_int(at_run_time(-2147483648.0)), -2147483647 - 1);
    EXPECT_EQ(truncate_to_int(at_run_time(-2147483648.999)), -2147483647 - 1);
    EXPECT_EQ(truncate_to_int(at_run_time(-2147483649.0)), -2147483647 - 1);
    EXPECT_EQ(truncate_to_int(at_run_time(-2147483649.5)), -2147483647 - 1);
    EXPECT_EQ(truncate_to_int(at_run_time(-2147483650.0)), -2147483647 - 1);
    EXPECT_EQ(truncate_to_int(at_run_time(-0.9)), 0);
    EXPECT_EQ(truncate_to_int(at_run_time(std::numeric_limits<double>::quiet_NaN())), 0);
}

TEST(Blend, TruncationIsDefinedForEveryDouble) {
    // In range: toward zero, as a cast.
    EXPECT_EQ(fixed_point::truncate_to_int(21845.33), 21845);
    EXPECT_EQ(fixed_point::truncate_to_int(-21845.33), -21845);
    EXPECT_EQ(fixed_point::truncate_to_int(2147483647.9), 2147483647);
    EXPECT_EQ(fixed_point::truncate_to_int(-2147483648.9), -2147483647 - 1);
    // Past the range: saturated; NaN: 0.
    EXPECT_EQ(fixed_point::truncate_to_int(2147483648.0), 2147483647);
    EXPECT_EQ(fixed_point::truncate_to_int(-2147483649.0), -2147483647 - 1);
    EXPECT_EQ(fixed_point::truncate_to_int(HUGE_VAL), 2147483647);
    EXPECT_EQ(fixed_point::truncate_to_int(-HUGE_VAL), -2147483647 - 1);
    EXPECT_EQ(fixed_point::truncate_to_int(std::numeric_limits<double>::quiet_NaN()), 0);
    // Zoom 0: cos(0) / 0 saturates, sin(0) / 0 = 0 * inf is NaN.
    const fixed_point::RotozoomSteps steps = fixed_point::rotozoom_steps(0.0f, 0.0f);
    EXPECT_EQ(steps.kc, 2147483647);
    EXPECT_EQ(steps.ks, 0);
}
