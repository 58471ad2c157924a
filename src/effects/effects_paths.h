// The effects' paths: the plain per-pixel code and the SIMD layers, one
// namespace each, all taking the same integer inputs (the float set-up is done
// once, by the public effects in effects.cpp), and the table of them: one row
// per path. For the tests and the effects themselves; users include effects.h.
#pragma once

#include <cstdint>

#include "core/frame_store.h"
#include "simd/simd.h"

namespace effects {

// The rotozoom takes the steps of fixed_point::rotozoom_steps, the radial
// zoom K = fixed_point::radial_step. The shadow grid advances seed 300 times.
using RotozoomFn = void (*)(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
using ShadowGridFn = void (*)(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row,
                              uint32_t& seed);
using RadialZoomFn = void (*)(Pixel* page, int32_t k);
using AlphaOverlayFn = void (*)(const Pixel* source, Pixel* destination);

// The reference for every other path; takes every input.
namespace plain {
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed);
void radial_zoom(Pixel* page, int32_t k);
void alpha_overlay(const Pixel* source, Pixel* destination);
}  // namespace plain

// The layers. The radial zoom passes take K in 0..65535 only; each limited
// kernel takes only what its test in kernel_limits.h passes.
namespace sse2 {
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed);
void radial_zoom(Pixel* page, int32_t k);
void alpha_overlay(const Pixel* source, Pixel* destination);
}  // namespace sse2

namespace avx2 {
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
void rotozoom_row_boxes(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);  // rotozoom_row_box_fits
void rotozoom_blocks(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);     // rotozoom_box_fits
void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed);
void radial_wavefront(Pixel* page, int32_t k);  // radial_wavefront_fits
void radial_zoom(Pixel* page, int32_t k);
void alpha_overlay(const Pixel* source, Pixel* destination);
}  // namespace avx2

// AVX-512 (F, VL, BW, VBMI) has its own limited rotozoom and radial zoom and
// its overlay; its row borrows the rest from AVX2.
namespace avx512 {
void rotozoom_blocks(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);  // rotozoom_box_fits
void radial_wavefront(Pixel* page, int32_t k);                                          // radial_wavefront_fits
void alpha_overlay(const Pixel* source, Pixel* destination);
}  // namespace avx512

// An effect whose kernels each take only some inputs is a chain: the first
// entry whose test passes runs, and the last entry has no test (takes every
// input). A chain may borrow entries from other paths' layers.
inline constexpr int kChainLength = 3;

struct RotozoomEntry {
    bool (*takes)(int32_t kc, int32_t ks);  // null: every input
    RotozoomFn run;
};

struct RadialZoomEntry {
    bool (*takes)(int32_t k);  // null: every input
    RadialZoomFn run;
};

struct PathRow {
    RotozoomEntry rotozoom[kChainLength];
    ShadowGridFn shadow_grid;
    RadialZoomEntry radial_zoom[kChainLength];
    AlphaOverlayFn alpha_overlay;
};

// The row of each path, indexed by simd::Path. Paths this build has no layer
// for name plain's functions.
const PathRow& path_row(simd::Path path);

// The entry of a chain that takes the input: the first whose test passes or
// that has none.
const RotozoomEntry& chosen(const RotozoomEntry (&chain)[kChainLength], int32_t kc, int32_t ks);
const RadialZoomEntry& chosen(const RadialZoomEntry (&chain)[kChainLength], int32_t k);

}  // namespace effects
