#include <gtest/gtest.h>

#include "effects/effects.h"
#include "support/pages.h"

using namespace test_support;

TEST(AlphaOverlay, MatchesPerChannelFormulaAndClearsTopByte) {
    const PageBuffer src = random_page(60);
    PageBuffer dst = random_page(61);
    const PageBuffer before = dst;
    effects::alpha_overlay(src.data(), dst.data());
    for (int n = 0; n < kPagePixels; ++n) {
        const uint32_t a = src[n] >> 24;
        Pixel want = 0;
        for (int ch = 0; ch < 3; ++ch) {
            want |= ((channel(src[n], ch) * a + channel(before[n], ch) * (256 - a)) / 256) << (8 * ch);
        }
        ASSERT_EQ(dst[n], want) << n;
    }
    EXPECT_EQ(src, random_page(60));
}

TEST(AlphaOverlay, EdgeAlphas) {
    struct Case {
        Pixel s, d, want;
    };
    const Case cases[] = {
        {0x00FFFFFFu, 0xAB123456u, 0x00123456u},  // a = 0 keeps the colours, clears the top byte
        {0xFFFFFFFFu, 0x00000000u, 0x00FEFEFEu},  // 255 over 0 gives 254
        {0xFF7F3F1Fu, 0x337F3F1Fu, 0x007F3F1Fu},  // equal channels stay
        {0x80FFFFFFu, 0x00000000u, 0x007F7F7Fu},  // 127.5 truncates
    };
    for (const Case& c : cases) {
        PageBuffer src = uniform_page(c.s), dst = uniform_page(c.d);
        effects::alpha_overlay(src.data(), dst.data());
        EXPECT_EQ(dst[kPagePixels - 1], c.want) << std::hex << c.s << " over " << c.d;
    }
}
