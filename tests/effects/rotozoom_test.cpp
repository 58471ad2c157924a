#include <gtest/gtest.h>

#include <cmath>

#include "core/fixed_point.h"
#include "effects/effects.h"
#include "effects/effects_paths.h"
#include "support/pages.h"

using namespace test_support;

namespace {

// Closed-form source position per destination pixel, in 64 bits.
PageBuffer reference_rotozoom(const PageBuffer& src, PageBuffer dst, float zoom, float angle) {
    const double r = 1.0 / static_cast<double>(zoom);
    const int64_t kc = static_cast<int32_t>(std::cos(static_cast<double>(angle)) * r * 65536.0);
    const int64_t ks = static_cast<int32_t>(std::sin(static_cast<double>(angle)) * r * 65536.0);
    for (int64_t j = 0; j < kPageHeight; ++j) {
        for (int64_t i = 0; i < kPageWidth; ++i) {
            const int64_t u = 320 * 65536 + (i - 320) * kc - (j - 240) * ks;
            const int64_t v = 240 * 65536 + (i - 320) * ks + (j - 240) * kc;
            if (u < 0 || u >= 639 * 65536 || v < 0 || v >= 479 * 65536) continue;
            const int64_t x = u / 65536, y = v / 65536;
            const uint32_t fx = (u / 4096) % 16, fy = (v / 4096) % 16;
            const Pixel* n = &src[y * kPageWidth + x];
            dst[j * kPageWidth + i] = reference_blend(n[0], n[1], n[kPageWidth], n[kPageWidth + 1], fx, fy);
        }
    }
    return dst;
}

}  // namespace

TEST(Rotozoom, MatchesClosedFormOnRandomPages) {
    struct Case {
        float zoom, angle;
    };
    // The demo's zoom range, plus zooms below 2.2 where the range test skips pixels.
    const Case cases[] = {{4.2f, 0.0f}, {2.2f, 1.3f},  {6.2f, -2.7f}, {3.3f, 3.14159f},
                          {1.0f, 0.5f}, {0.8f, -0.2f}, {2.5f, 100.0f}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        const PageBuffer src = random_page(seed++);
        const PageBuffer before = random_page(seed++);
        PageBuffer dst = before;
        effects::rotozoom(src.data(), dst.data(), c.zoom, c.angle);
        const PageBuffer expected = reference_rotozoom(src, before, c.zoom, c.angle);
        ASSERT_EQ(dst, expected) << "zoom " << c.zoom << " angle " << c.angle;
    }
}

TEST(Rotozoom, ZoomOneCopiesAndLeavesLastColumnAndRow) {
    const PageBuffer src = random_page(11);
    PageBuffer dst = uniform_page(0xDEADBEEFu);
    effects::rotozoom(src.data(), dst.data(), 1.0f, 0.0f);
    for (int y = 0; y < kPageHeight; ++y) {
        for (int x = 0; x < kPageWidth; ++x) {
            const Pixel want = (x == 639 || y == 479) ? 0xDEADBEEFu : src[y * kPageWidth + x];
            ASSERT_EQ(dst[y * kPageWidth + x], want) << x << "," << y;
        }
    }
}

TEST(Rotozoom, ZoomTwoAveragesFourNeighbours) {
    const PageBuffer src = random_page(12);
    PageBuffer dst(kPagePixels);
    effects::rotozoom(src.data(), dst.data(), 2.0f, 0.0f);
    const Pixel* n = &src[120 * kPageWidth + 160];
    EXPECT_EQ(dst[1 * kPageWidth + 1], reference_blend(n[0], n[1], n[640], n[641], 8, 8));
    EXPECT_EQ(dst[0], n[0]);
}

TEST(Rotozoom, DemoZoomsRewriteEveryPixelAndUniformStaysUniform) {
    const PageBuffer src = uniform_page(0xA1B2C3D4u);
    for (float zoom : {2.2f, 6.2f}) {
        PageBuffer dst(kPagePixels, 0);
        effects::rotozoom(src.data(), dst.data(), zoom, 0.77f);
        ASSERT_EQ(dst, src);
    }
}

TEST(Rotozoom, ZoomsOutsideTheDemoRangeStayInsideTheSource) {
    // Negative zooms turn the picture over; zero and tiny zooms give steps far
    // past the int32 range, which saturate. None may read outside the source
    // page (the sanitizer build checks) or differ between paths.
    const PageBuffer src = random_page(13);
    const PageBuffer before = random_page(14);
    PageBuffer dst = before;
    effects::rotozoom(src.data(), dst.data(), -3.0f, 0.4f);
    EXPECT_EQ(dst, reference_rotozoom(src, before, -3.0f, 0.4f));
    for (float zoom : {0.0f, -0.0f, 1e-6f, -1e-6f, 1e-30f}) {
        for (float angle : {0.0f, 0.3f, 2.0f, -1.2f}) {
            PageBuffer got = before;
            effects::rotozoom(src.data(), got.data(), zoom, angle);
            PageBuffer want = before;
            const fixed_point::RotozoomSteps steps = fixed_point::rotozoom_steps(zoom, angle);
            effects::plain::rotozoom(src.data(), want.data(), steps.kc, steps.ks);
            ASSERT_EQ(got, want) << "zoom " << zoom << " angle " << angle;
        }
    }
    // Zoom 0 at angle 0: kc saturates and ks is NaN, taken as 0, so row 240
    // keeps only its centre pixel, which samples (320, 240) exactly.
    PageBuffer zero = before;
    effects::rotozoom(src.data(), zero.data(), 0.0f, 0.0f);
    EXPECT_EQ(zero[240 * kPageWidth + 320], src[240 * kPageWidth + 320]);
    EXPECT_EQ(zero[240 * kPageWidth + 321], before[240 * kPageWidth + 321]);
}
