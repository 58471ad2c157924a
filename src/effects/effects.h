// The per-frame image operations on pages. Pages are passed as their first
// Pixel (640 x 480, stride 640). Effects check no argument and report
// nothing; callers keep arguments in the ranges stated here.
//
// Each effect does its floating-point set-up here, once, then runs the row of
// the path table (effects_paths.h) that simd::active_path() names: the plain
// per-pixel code or SIMD kernels that give the same bits for every input, a
// kernel that takes only some inputs beside its test and its fallback.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace effects {

// Rotated, magnified bilinear copy of source into destination about the page
// centre (320, 240): a destination step of one pixel moves the source position
// 1/zoom pixel. Destination pixels whose source falls outside
// [0, 639) x [0, 479) keep their value, so no zoom reads outside the source
// (0, negative and tiny zooms included: steps past the int32 range
// saturate). For zoom 2.2..6.2 every pixel is
// written. source and destination must differ.
void rotozoom(const Pixel* source, Pixel* destination, float zoom, float angle);

// Rebuilds the whole of destination from source: a shade map from source's
// blue channel along column light_column and row light_row, a 32 x 32 block
// grid with one pseudo-random bit per block, folded into grey or pure red
// pixels. light_column 0..639, light_row 0..479. Advances the noise seed 300
// times per call; the caller carries it from call to call.
void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed);

// Pulls page toward its centre in place, four quadrant passes working outward
// from the centre so that each pixel reads pixels already rewritten in this
// call. The demo passes 0.9955f; for factor in [0, 1) every pixel is
// rewritten. Any other factor (1 or more, negative) reads nothing outside the
// page: pixels whose source lies outside [0, 639) x [0, 479) keep their value.
void radial_zoom(Pixel* page, float factor);

// destination = source over destination by source's top byte a, per channel
// floor((s * a + d * (256 - a)) / 256); destination's top byte becomes 0.
void alpha_overlay(const Pixel* source, Pixel* destination);

}  // namespace effects
