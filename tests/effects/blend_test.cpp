#include <gtest/gtest.h>

#include <random>

#include "effects/fixed_point.h"
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
