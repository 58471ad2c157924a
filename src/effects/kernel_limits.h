// The limits of the effects' limited kernels: plain integer tests, compiled
// into every file that includes them (internal linkage, so the baseline
// dispatcher in effects.cpp never runs a copy built for AVX). The path table
// (effects.cpp) names them beside the kernels they guard; the kernels rely on
// them and test nothing themselves.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace effects {
namespace {

// The AVX2 row kernel's boxes: when a step moves at most 2/7 px across and
// 1/7 px down (zooms of about 3.5 and more at small angles, 5 and more at any
// angle), the 8 lanes of a group span at most 3 source columns and 2 rows:
// whole rows then read each group's 3 x 4 box once
// (bilinear_box3x4_dword_permutes) instead of gathering its pixels.
inline bool rotozoom_row_box_fits(int32_t kc, int32_t ks) {
    auto magnitude = [](int32_t k) { return k < 0 ? -int64_t{k} : int64_t{k}; };
    return 7 * magnitude(kc) <= 2 * 65536 && 7 * magnitude(ks) <= 65536;
}

// The rotozoom in blocks of 4 columns by 2 rows of destination pixels
// (rotozoom_blocks, effects_kernels.h). When the block's source positions span less than 2 px
// each way (3 |kc| + |ks| across, 3 |ks| + |kc| down: zooms above about 1.6
// at any angle), every pixel's 2 x 2 neighbourhood lies in the 4 x 4 source
// box at the block's least (x, y), and the layer's box blend fetches the
// neighbours from that box instead of gathering them. The box reaches 3
// pixels right of and below that corner, so blocks run only when every
// source position of the page lies in [0, 636] x [0, 476]; then every pixel
// passes the range test and the 32-bit coordinates are the exact ones.
//
// A linear map over the page reaches its extremes at the corner pixels, so
// the four corners decide for every pixel (in 64 bits: no wrapping).
inline bool rotozoom_box_fits(int32_t kc, int32_t ks) {
    constexpr int64_t kOne = 65536;
    auto magnitude = [](int64_t k) { return k < 0 ? -k : k; };
    if (3 * magnitude(kc) + magnitude(ks) >= 2 * kOne || 3 * magnitude(ks) + magnitude(kc) >= 2 * kOne) return false;
    const int64_t columns[2] = {0 - 320, kPageWidth - 1 - 320};
    const int64_t rows[2] = {0 - 240, kPageHeight - 1 - 240};
    for (int64_t di : columns) {
        for (int64_t dj : rows) {
            const int64_t u = 0x1400000 + di * kc - dj * ks;
            const int64_t v = 0xF00000 + di * ks + dj * kc;
            if (u < 0 || u >= (kPageWidth - 3) * kOne || v < 0 || v >= (kPageHeight - 3) * kOne) return false;
        }
    }
    return true;
}

// The layers' radial zoom passes rely on every source position lying
// between its pixel and the centre, which holds for 0 <= K < 65536.
inline bool radial_step_in_range(int32_t k) { return k >= 0 && k < 65536; }

// The radial zoom's wavefront (radial_wavefront.h) per axis of a quadrant.
inline constexpr int kQuadrantCols = kPageWidth / 2;
inline constexpr int kQuadrantRows = kPageHeight / 2;

// One axis of a quadrant, per step from the centre: whether the blend reads
// the far pair, and the weights of the pair's newer and older step.
struct AxisPairs {
    bool far[kQuadrantCols];
    uint32_t newer_weight[kQuadrantCols];
    uint32_t older_weight[kQuadrantCols];
};

// `count` steps from memory index `first` in direction dir, the 16.16
// coordinate starting at coord and moving by step. False if some step reads,
// with a non-zero weight, a pixel ahead of it, more than two steps back or
// outside the quadrant.
inline bool axis_pairs(int32_t first, int32_t dir, uint32_t coord, uint32_t step, int count, AxisPairs& pairs) {
    for (int32_t c = 0; c < count; ++c, coord += step) {
        const int32_t x = static_cast<int32_t>(coord >> 16);
        const uint32_t f = (coord >> 12) & 15u;
        const int32_t at[2] = {(x - first) * dir, (x + 1 - first) * dir};
        const uint32_t weight[2] = {16 - f, f};
        bool far = false;
        for (int n = 0; n < 2; ++n) far = far || (weight[n] != 0 && at[n] < c - 1);
        const int32_t newer = far ? c - 1 : c;
        uint32_t newer_weight = 0, older_weight = 0;
        for (int n = 0; n < 2; ++n) {
            if (weight[n] == 0) continue;
            if (at[n] == newer) {
                newer_weight += weight[n];
            } else if (at[n] == newer - 1 && at[n] >= 0) {
                older_weight += weight[n];
            } else {
                return false;
            }
        }
        pairs.far[c] = far;
        pairs.newer_weight[c] = newer_weight;
        pairs.older_weight[c] = older_weight;
    }
    return true;
}

// The four axes of the radial zoom at step K: false when some axis reads
// outside what the wavefront keeps in registers.
struct RadialAxes {
    AxisPairs right, left, lower, upper;
};

inline bool radial_axes(int32_t k, RadialAxes& axes) {
    const uint32_t uk = static_cast<uint32_t>(k);
    const uint32_t minus_k = 0u - uk;
    return axis_pairs(320, +1, 0x1400000u, uk, kQuadrantCols, axes.right) &&
           axis_pairs(319, -1, 0x13F0000u, minus_k, kQuadrantCols, axes.left) &&
           axis_pairs(240, +1, 0xF00000u, uk, kQuadrantRows, axes.lower) &&
           axis_pairs(239, -1, 0xF00000u - uk, minus_k, kQuadrantRows, axes.upper);
}

// Of K in 0..65535, those whose axes all pass radial_axes are exactly 65126
// to 65535 (factors close to 1, the demo's among them); a test checks every
// K, so the table's test is two compares.
inline constexpr int32_t kRadialWavefrontLeastStep = 65126;

inline bool radial_wavefront_fits(int32_t k) { return k >= kRadialWavefrontLeastStep && radial_step_in_range(k); }

}  // namespace
}  // namespace effects
