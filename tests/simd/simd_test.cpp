// The path choice: which processors run which path, and what ORVO_SIMD picks.
#include <gtest/gtest.h>

#include <string>

#include "simd/simd.h"
#include "support/environment.h"

namespace {

using simd::Features;
using simd::Path;

constexpr Features kEverything = {true, true, true, true, true, true, true, true};

TEST(PathChoice, Avx512NeedsAvx2AndEachOfFVlBwAndVbmi) {
    EXPECT_TRUE(simd::path_runs_on(Path::avx512, kEverything));
    bool Features::*const needed[] = {&Features::avx2, &Features::avx512f, &Features::avx512vl, &Features::avx512bw,
                                      &Features::avx512vbmi};
    for (bool Features::*feature : needed) {
        Features lacking = kEverything;
        lacking.*feature = false;
        EXPECT_FALSE(simd::path_runs_on(Path::avx512, lacking));
    }
    const Features none{};
    EXPECT_TRUE(simd::path_runs_on(Path::plain, none));
    EXPECT_FALSE(simd::path_runs_on(Path::sse2, none));
    EXPECT_FALSE(simd::path_runs_on(Path::avx2, none));
    EXPECT_TRUE(simd::path_runs_on(Path::avx2, Features{false, true, false, false, false, false, false, false}));
    // WebAssembly's SIMD is no x86 feature: a native build never offers it.
    EXPECT_FALSE(simd::path_runs_on(Path::simd128, Features{true, true, true, true, true, true, false, false}));
    EXPECT_TRUE(simd::path_runs_on(Path::simd128, Features{false, false, false, false, false, false, true, false}));
    // Nor is NEON.
    EXPECT_FALSE(simd::path_runs_on(Path::neon, Features{true, true, true, true, true, true, true, false}));
    EXPECT_TRUE(simd::path_runs_on(Path::neon, Features{false, false, false, false, false, false, false, true}));
}

TEST(PathChoice, OrvoSimdPicksTheNamedPathWhenTheProcessorRunsIt) {
    Path best = Path::plain;
    ASSERT_TRUE(simd::choose_path(nullptr, &best));
    EXPECT_TRUE(simd::path_available(best));
    for (int p = 0; p < simd::kPathCount; ++p) {
        // x86's paths nest (each runs where a later one does); ARM64 has plain and neon.
        const bool x86_nested = best <= Path::avx512 && p <= static_cast<int>(best);
        EXPECT_EQ(simd::path_available(Path(p)), x86_nested || p == 0 || Path(p) == best) << simd::path_name(Path(p));
        Path chosen = Path::plain;
        ASSERT_TRUE(simd::choose_path(simd::path_name(Path(p)), &chosen));
        EXPECT_EQ(chosen, simd::path_available(Path(p)) ? Path(p) : best) << simd::path_name(Path(p));
    }
    // The test log names the paths this machine ran (the others are skipped
    // by the path tests, with the reason).
    std::string runs;
    for (int p = 0; p < simd::kPathCount; ++p) {
        if (simd::path_available(Path(p))) runs += std::string(runs.empty() ? "" : " ") + simd::path_name(Path(p));
    }
    std::printf("paths this processor runs: %s\n", runs.c_str());
    RecordProperty("paths", runs);
}

TEST(PathChoice, AnOrvoSimdValueThatNamesNoPathIsRefused) {
    for (const char* value : {"", "bogus", "AVX2", "avx2 ", " sse2", "avx-512", "plain,avx2"}) {
        Path chosen = Path::avx2;
        EXPECT_FALSE(simd::choose_path(value, &chosen)) << "'" << value << "'";
        EXPECT_EQ(chosen, Path::avx2);
    }
}

TEST(PathChoice, AnUnknownOrvoSimdEndsTheProgramWithExitCodeTwo) {
    test_support::set_environment("ORVO_SIMD", "fastest");
    EXPECT_EXIT(simd::choose_at_start_up("orvo"), testing::ExitedWithCode(2),
                "^orvo: ORVO_SIMD=fastest names no path \\(plain, sse2, avx2, avx512, simd128 or neon\\)\n$");
    test_support::set_environment("ORVO_SIMD", "");
}

}  // namespace
