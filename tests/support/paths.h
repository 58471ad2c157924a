// Test support: suites that run once per SIMD path, each case with that path
// active. A path the processor can't run is skipped with the reason, so the
// log names the paths that were and weren't tested.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "simd/simd.h"

namespace simd {
// How GoogleTest prints a path in a test's name and messages.
inline void PrintTo(Path path, std::ostream* out) { *out << path_name(path); }
}  // namespace simd

namespace test_support {

class EachSimdPath : public ::testing::TestWithParam<simd::Path> {
protected:
    void SetUp() override {
        if (!simd::path_available(GetParam())) {
            GTEST_SKIP() << "this processor can't run the " << simd::path_name(GetParam()) << " path";
        }
        saved_ = simd::active_path();
        simd::force_path(GetParam());
    }
    void TearDown() override { simd::force_path(saved_); }

private:
    simd::Path saved_ = simd::Path::plain;
};

inline std::string path_test_name(const ::testing::TestParamInfo<simd::Path>& info) {
    return simd::path_name(info.param);
}

}  // namespace test_support

// Instantiates suite once for each SIMD layer (simd128 runs in browsers only).
#define ORVO_EACH_SIMD_PATH(suite)                                                                                 \
    INSTANTIATE_TEST_SUITE_P(                                                                                      \
        Layer, suite, ::testing::Values(simd::Path::sse2, simd::Path::avx2, simd::Path::avx512, simd::Path::neon), \
        test_support::path_test_name)
