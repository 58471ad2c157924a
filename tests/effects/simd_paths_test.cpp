// Every SIMD path the machine runs against the plain effects, bit for bit, on
// seeded random pages (random top bytes included) and varied parameters.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "core/fixed_point.h"
#include "effects/effects.h"
#include "effects/effects_paths.h"
#include "effects/kernel_limits.h"
#include "simd/simd.h"
#include "support/pages.h"
#include "support/paths.h"

using namespace test_support;

namespace {

// Restores the path chosen at start-up when a test ends.
struct PathGuard {
    simd::Path saved = simd::active_path();
    ~PathGuard() { simd::force_path(saved); }
};

// Each case runs once per SIMD path, as the active one.
class SimdPaths : public test_support::EachSimdPath {};

void plain_rotozoom(const Pixel* source, Pixel* destination, float zoom, float angle) {
    const fixed_point::RotozoomSteps steps = fixed_point::rotozoom_steps(zoom, angle);
    effects::plain::rotozoom(source, destination, steps.kc, steps.ks);
}

void plain_radial_zoom(Pixel* page, float factor) {
    effects::plain::radial_zoom(page, fixed_point::radial_step(factor));
}

struct RotozoomCase {
    float zoom, angle;
};

// The active path against plain, each case on its own random pages.
template <size_t N> void expect_rotozoom_paths_match(const RotozoomCase (&cases)[N], uint32_t seed, simd::Path path) {
    for (const RotozoomCase& c : cases) {
        const PageBuffer src = random_page(seed++);
        const PageBuffer before = random_page(seed++);
        PageBuffer want = before;
        plain_rotozoom(src.data(), want.data(), c.zoom, c.angle);
        PageBuffer got = before;
        effects::rotozoom(src.data(), got.data(), c.zoom, c.angle);
        ASSERT_EQ(got, want) << simd::path_name(path) << " zoom " << c.zoom << " angle " << c.angle;
    }
}

}  // namespace

TEST_P(SimdPaths, RotozoomMatchesPlain) {
    // Demo zooms at angles in every quadrant, the demo's own frame values,
    // and zooms outside the demo's range whose rows are only partly written.
    const RotozoomCase cases[] = {{4.2f, 0.3f},    {2.2f, 1.9f},    {6.2f, -2.4f},  {3.7f, 4.0f}, {2.9f, -0.8f},
                                  {5.0f, 3.1416f}, {4.4f, 0.1234f}, {1.0f, 0.0f},   {0.7f, 0.6f}, {1.3f, -2.0f},
                                  {0.3f, 5.5f},    {12.0f, 100.0f}, {2.0f, 1.5708f}};
    expect_rotozoom_paths_match(cases, 200, GetParam());
}

TEST_P(SimdPaths, RotozoomBoxAndGatherGroupsMatchPlain) {
    // AVX2 reads a group's 3 x 4 source box when a step moves at most 2/7 px
    // across and 1/7 px down, and gathers otherwise: zooms either side of 3.5
    // at angle 0, angles either side of the 1/7 limit at zoom 6.2, and box
    // cases with x and y falling along the row in each quadrant.
    const RotozoomCase cases[] = {{3.49f, 0.0f},   {3.5f, 0.0f},    {3.51f, 0.0f},  {6.2f, 1.0f},   {6.2f, 1.1f},
                                  {6.2f, -1.05f},  {5.0f, 0.2f},    {5.0f, 2.94f},  {5.0f, -2.94f}, {5.0f, -0.2f},
                                  {4.2f, 3.1416f}, {7.0f, 1.5708f}, {100.0f, 0.7f}, {3.6f, -0.001f}};
    expect_rotozoom_paths_match(cases, 250, GetParam());
}

TEST_P(SimdPaths, RotozoomBlockPermutesMatchPlainOverTheDemoRange) {
    // AVX-512 blends blocks of 4 x 2 pixels from one 4 x 4 source box at every
    // zoom the demo passes, AVX2 wherever its 3 x 4 row boxes don't hold:
    // zooms 2.12 to 6.5 at angles in every quadrant,
    // those where kc or ks is 0 or negative, and either side of 45 degrees
    // (the largest spans).
    const float zooms[] = {2.12f, 2.2f, 2.9f, 3.6f, 4.4f, 5.36f, 6.2f, 6.5f};
    const float angles[] = {0.0f, 0.3f, 0.7853f, 0.7854f, 1.5708f, 2.2f, 3.1416f, -2.6f, -1.5708f, -0.7855f};
    RotozoomCase cases[std::size(zooms) * std::size(angles)];
    for (size_t z = 0; z < std::size(zooms); ++z) {
        for (size_t a = 0; a < std::size(angles); ++a) cases[z * std::size(angles) + a] = {zooms[z], angles[a]};
    }
    expect_rotozoom_paths_match(cases, 700, GetParam());
}

TEST_P(SimdPaths, RotozoomEitherSideOfTheSourceBoxLimitsMatchesPlain) {
    // Neighbouring float zooms where the 4 x 4 box stops holding: steps
    // whose block spans reach 2 px (angle 0, pi/2, pi, -pi/2, atan(1/3), 0.1)
    // and source positions that reach row 477 (near 45 degrees, where the
    // box would pass the page's last row; columns never bind first). The
    // smaller zoom of each pair takes the gathering row kernel. Zooms
    // further below a limit (1.44, 1.53) give blocks spanning 3 px whose
    // outer pixels weigh something, which a box taken too early would blend
    // wrongly; negative zooms turn the steps round.
    const RotozoomCase cases[] = {
        {1.49998856f, 0.0f},     {1.49998868f, 0.0f},     {1.49998856f, 1.5708f},  {1.49998868f, 1.5708f},
        {1.49998856f, 3.1416f},  {1.49998868f, 3.1416f},  {1.49998856f, -1.5708f}, {1.49998868f, -1.5708f},
        {1.58112299f, 0.32175f}, {1.58112311f, 0.32175f}, {1.54241288f, 0.1f},     {1.542413f, 0.1f},
        {1.66478777f, 0.7854f},  {1.66478789f, 0.7854f},  {1.66778958f, 2.3562f},  {1.6677897f, 2.3562f},
        {1.6677835f, -0.7854f},  {1.66778362f, -0.7854f}, {1.44f, 0.002f},         {1.44f, -1.5688f},
        {1.53f, 0.32175f},       {-3.0f, 0.5f},           {-1.66478789f, 0.7854f}};
    expect_rotozoom_paths_match(cases, 800, GetParam());
}

TEST_P(SimdPaths, ShadowGridMatchesPlainAndAdvancesTheSameSeed) {
    const simd::Path path = GetParam();
    const int lights[][2] = {{220, 420}, {0, 0}, {639, 479}, {20, 20}, {333, 17}, {1, 478}, {638, 240}};
    uint32_t seed = 300;
    for (const auto& light : lights) {
        const PageBuffer src = random_page(seed++);
        const uint32_t noise = 0x9E3779B9u * seed;
        PageBuffer want = random_page(seed++);
        uint32_t want_seed = noise;
        effects::plain::shadow_grid(src.data(), want.data(), light[0], light[1], want_seed);
        uint32_t got_seed = noise;
        PageBuffer got = random_page(seed);
        effects::shadow_grid(src.data(), got.data(), light[0], light[1], got_seed);
        ASSERT_EQ(got, want) << simd::path_name(path) << " light " << light[0] << "," << light[1];
        ASSERT_EQ(got_seed, want_seed) << simd::path_name(path);
    }
}

TEST_P(SimdPaths, RadialZoomMatchesPlain) {
    const simd::Path path = GetParam();
    // The demo factor, factors near 1, factors that read two and more pixels
    // back, and both ends of the allowed range (K = 0 and K = 65535).
    // 0.99375 (K = 65126) is the last factor whose far corner still reads
    // within two pixels; 0.99373 (K = 65125) reads three back there; 0.996
    // switches to the two pixels back at other columns and rows than 0.9955.
    // Factors of 1 and above (K = 65536, 66000, ...) and below 0 are outside
    // every layer's passes: the table must hand them to the plain code.
    const float factors[] = {0.9955f, 0.9999f,  0.99f,    0.95f,    0.8f,     0.5f,   0.31f, 0.01f,
                             0.0f,    0.99999f, 0.99998f, 0.99375f, 0.99373f, 0.996f, 1.0f,  1.00708f,
                             1.5f,    4.0f,     1e12f,    -0.001f,  -0.7f,    -3.0f,  -1e12f};
    uint32_t seed = 400;
    for (float factor : factors) {
        const PageBuffer start = random_page(seed++);
        PageBuffer want = start;
        plain_radial_zoom(want.data(), factor);
        PageBuffer got = start;
        effects::radial_zoom(got.data(), factor);
        ASSERT_EQ(got, want) << simd::path_name(path) << " factor " << factor;
    }
}

TEST_P(SimdPaths, RadialZoomFeedbackOverManyFramesMatchesPlain) {
    // The demo feeds each frame's result into the next; differences would grow.
    PageBuffer want = random_page(450);
    const simd::Path path = GetParam();
    PageBuffer got = want;
    PageBuffer plain = want;
    for (int frame = 0; frame < 8; ++frame) {
        plain_radial_zoom(plain.data(), 0.9955f);
        effects::radial_zoom(got.data(), 0.9955f);
    }
    ASSERT_EQ(got, plain) << simd::path_name(path);
}

TEST_P(SimdPaths, AlphaOverlayMatchesPlain) {
    const simd::Path path = GetParam();
    for (uint32_t seed = 500; seed < 503; ++seed) {
        const PageBuffer src = random_page(seed);
        const PageBuffer before = random_page(seed + 50);
        PageBuffer want = before;
        effects::plain::alpha_overlay(src.data(), want.data());
        PageBuffer got = before;
        effects::alpha_overlay(src.data(), got.data());
        ASSERT_EQ(got, want) << simd::path_name(path);
    }
}

TEST(PathChoice, ForcingAPathTheMachineLacksFallsBackToOneItRuns) {
    PathGuard guard;
    simd::force_path(simd::Path::plain);
    EXPECT_EQ(simd::active_path(), simd::Path::plain);
    for (int p = 0; p < simd::kPathCount; ++p) {
        simd::force_path(static_cast<simd::Path>(p));
        EXPECT_TRUE(simd::path_available(simd::active_path()));
    }
}

// The path table is data: these read it and run no layer, so they hold on
// any x86 machine.
// Every chain ends, within its length, in an entry that takes every input,
// and every function is there: a row that lacks one would call null.
template <class Entry> bool ends_open(const Entry (&chain)[effects::kChainLength]) {
    for (const Entry& e : chain) {
        if (e.run == nullptr) return false;
        if (e.takes == nullptr) return true;
    }
    return false;
}

TEST(PathTable, EveryRowIsComplete) {
    for (int p = 0; p < simd::kPathCount; ++p) {
        const effects::PathRow& row = effects::path_row(static_cast<simd::Path>(p));
        const char* name = simd::path_name(static_cast<simd::Path>(p));
        EXPECT_TRUE(ends_open(row.rotozoom)) << name;
        EXPECT_TRUE(ends_open(row.radial_zoom)) << name;
        EXPECT_NE(row.shadow_grid, nullptr) << name;
        EXPECT_NE(row.alpha_overlay, nullptr) << name;
    }
}

TEST(PathTable, RadialWavefrontTestMatchesTheWavefrontsOwnAxesForEveryStep) {
    // The table's two-compare test stands for the kernel's reach, which is
    // worked out per axis; were they to part, the wavefront would be left
    // out where it fits or run where it reads out of order.
    static effects::RadialAxes axes;  // 11 KB, off the stack
    for (int32_t k = -2; k <= 65538; ++k) {
        const bool reach = effects::radial_step_in_range(k) && effects::radial_axes(k, axes);
        ASSERT_EQ(effects::radial_wavefront_fits(k), reach) << "K " << k;
    }
}

#if defined(ORVO_X86)
TEST(PathTable, TheDemosFramesRunEachRowsFastKernels) {
    // Every path draws the same bits, so only the table shows a row whose
    // chain falls to its slow last entry (the gathers, the quadrant passes)
    // at the demo's zooms (2.2 to 6.2, any angle) and radial factor.
    using effects::chosen;
    using effects::path_row;
    const int32_t k = fixed_point::radial_step(0.9955f);
    EXPECT_EQ(chosen(path_row(simd::Path::avx512).radial_zoom, k).run, &effects::avx512::radial_wavefront);
    EXPECT_EQ(chosen(path_row(simd::Path::avx2).radial_zoom, k).run, &effects::avx2::radial_wavefront);
    EXPECT_EQ(chosen(path_row(simd::Path::sse2).radial_zoom, k).run, &effects::sse2::radial_zoom);
    for (float zoom = 2.2f; zoom <= 6.2f; zoom += 0.5f) {
        for (float angle = 0.0f; angle < 6.3f; angle += 0.05f) {
            const fixed_point::RotozoomSteps st = fixed_point::rotozoom_steps(zoom, angle);
            EXPECT_EQ(chosen(path_row(simd::Path::avx512).rotozoom, st.kc, st.ks).run,
                      &effects::avx512::rotozoom_blocks)
                << "zoom " << zoom << " angle " << angle;
            const effects::RotozoomEntry& avx2 = chosen(path_row(simd::Path::avx2).rotozoom, st.kc, st.ks);
            EXPECT_LT(&avx2 - path_row(simd::Path::avx2).rotozoom, 2) << "zoom " << zoom << " angle " << angle;
        }
    }
}
#endif

ORVO_EACH_SIMD_PATH(SimdPaths);
