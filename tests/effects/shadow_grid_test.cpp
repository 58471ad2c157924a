#include <gtest/gtest.h>

#include "effects/effects.h"
#include "support/pages.h"

using namespace test_support;

namespace {

uint32_t shade_at(const PageBuffer& src, int x, int y, int light_column, int light_row) {
    const uint32_t a = src[y * kPageWidth + light_column] & 0xFF;
    const uint32_t b = src[light_row * kPageWidth + x] & 0xFF;
    return 255 - (a * b) / 256;
}

// The per-pixel formula, with the block bits drawn from an independent
// 64-bit evaluation of the generator.
PageBuffer reference_shadow_grid(const PageBuffer& src, int light_column, int light_row, uint32_t& seed) {
    uint32_t block_word[15][20];
    for (int i = 0; i < 15; ++i) {
        for (int j = 0; j < 20; ++j) {
            const uint32_t level = shade_at(src, 32 * j + 16, 32 * i + 16, light_column, light_row) / 110;
            seed = static_cast<uint32_t>((uint64_t{seed} * 1103515245u + 12345u) % 4294967296u);
            const int64_t signed_seed = seed >= 0x80000000u ? int64_t{seed} - 4294967296 : int64_t{seed};
            const int64_t q = signed_seed / 65536;  // C++ division truncates toward zero
            block_word[i][j] = level + 256 + 65536 * static_cast<uint32_t>(q & 1);
        }
    }
    PageBuffer out(kPagePixels);
    for (int y = 0; y < kPageHeight; ++y) {
        for (int x = 0; x < kPageWidth; ++x) {
            const uint64_t v = shade_at(src, x, y, light_column, light_row);
            const uint64_t u = ((v * src[y * kPageWidth + x]) % 4294967296u) / 256;
            const uint64_t w = (u * block_word[y / 32][x / 32]) % 4294967296u;
            const bool red = w >= 0x80000000u || w < 0x8000u;
            out[y * kPageWidth + x] =
                red ? static_cast<Pixel>(w & 0xFF0000u) : static_cast<Pixel>((w & 0xFF) * 0x10101u);
        }
    }
    return out;
}

}  // namespace

TEST(ShadowGrid, MatchesPerPixelFormulaOverSeveralCalls) {
    uint32_t noise = 0;
    uint32_t reference_seed = 0;
    const int lights[][2] = {{220, 420}, {20, 20}, {420, 137}, {0, 479}, {639, 0}};
    uint32_t seed = 100;
    for (const auto& light : lights) {
        const PageBuffer src = random_page(seed++);
        PageBuffer dst = random_page(seed++);
        effects::shadow_grid(src.data(), dst.data(), light[0], light[1], noise);
        ASSERT_EQ(dst, reference_shadow_grid(src, light[0], light[1], reference_seed)) << light[0] << "," << light[1];
        ASSERT_EQ(noise, reference_seed);
    }
}

TEST(ShadowGrid, FirstCallDrawsKnownBitsAndSeeds) {
    uint32_t noise = 0;
    const PageBuffer src = uniform_page(0x00C0C0C0u);  // shade 111, level 1
    PageBuffer dst(kPagePixels);
    effects::shadow_grid(src.data(), dst.data(), 220, 420, noise);
    // Bits 0, 1, 1, 0 for blocks (0,0)..(0,3): bit 0 -> 0x939393 grey, bit 1 -> 0x7A0000 red.
    const Pixel want[4] = {0x00939393u, 0x007A0000u, 0x007A0000u, 0x00939393u};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(dst[32 * j], want[j]) << "block " << j;
        EXPECT_EQ(dst[31 * kPageWidth + 32 * j + 31], want[j]) << "block " << j;
    }
    uint32_t seed = 0;
    for (int n = 0; n < 300; ++n) seed = seed * 1103515245u + 12345u;
    EXPECT_EQ(noise, seed);
}

TEST(ShadowGrid, UniformPagesGiveTheirKnownColours) {
    struct Case {
        Pixel fill;
        Pixel want_bit0;
        Pixel want_bit1;
    };
    const Case cases[] = {{0x00000000u, 0, 0}, {0x00808080u, 0x00DFDFDFu, 0x00DFDFDFu}};
    for (const Case& c : cases) {
        const PageBuffer src = uniform_page(c.fill);
        PageBuffer dst = random_page(3);
        uint32_t noise = 0x12345678u;
        effects::shadow_grid(src.data(), dst.data(), 20, 420, noise);
        for (Pixel p : dst) ASSERT_TRUE(p == c.want_bit0 || p == c.want_bit1) << std::hex << p;
    }
}
