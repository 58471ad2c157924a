// Fixed-point coordinates, the RB/AG lane masks and the one two-lane bilinear
// blend that the rotozoomer, the radial zoom and the page resampler share.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/frame_store.h"

namespace fixed_point {

// 16.16 source coordinates: bits 16-31 index a pixel, bits 12-15 are the 4-bit
// blend weight, bits 0-11 only carry precision between integer steps.
inline constexpr int kFracBits = 16;
inline constexpr int32_t kOne = 1 << kFracBits;

// Arithmetic shift: callers only pass coordinates that passed a range test.
inline int32_t whole(int32_t coord) { return coord >> kFracBits; }
inline uint32_t weight4(int32_t coord) { return static_cast<uint32_t>(coord >> 12) & 15u; }

// A Pixel split in two lanes so that one 32-bit multiplication weights two
// channels: RB = red and blue, AG = top byte and green, each in a 16-bit field.
inline constexpr uint32_t kLaneMask = 0x00FF00FFu;
inline uint32_t lane_rb(Pixel p) { return p & kLaneMask; }
inline uint32_t lane_ag(Pixel p) { return (p >> 8) & kLaneMask; }

// Bilinear blend of p00 (x, y), p01 (x+1, y), p10 (x, y+1), p11 (x+1, y+1)
// with weights fx, fy in 0..15. The four weights sum to 256, so each 16-bit
// field of a lane sum is at most 255 * 256 and never carries into the next:
// per channel floor(sum(c * weight) / 256), the top byte included, no rounding.
inline Pixel blend4(Pixel p00, Pixel p01, Pixel p10, Pixel p11, uint32_t fx, uint32_t fy) {
    const uint32_t gx = 16 - fx;
    const uint32_t gy = 16 - fy;
    const uint32_t rb_top = lane_rb(p00) * gx + lane_rb(p01) * fx;
    const uint32_t rb_bottom = lane_rb(p10) * gx + lane_rb(p11) * fx;
    const uint32_t ag_top = lane_ag(p00) * gx + lane_ag(p01) * fx;
    const uint32_t ag_bottom = lane_ag(p10) * gx + lane_ag(p11) * fx;
    const uint32_t rb = rb_top * gy + rb_bottom * fy;
    const uint32_t ag = ag_top * gy + ag_bottom * fy;
    return ((rb >> 8) & kLaneMask) | (ag & 0xFF00FF00u);
}

// Float (or double) to signed 32-bit, truncating toward zero, as every
// conversion in the effects does. A plain cast of a value past the int32 range
// is undefined, and a zoom of 0 gives an infinite step: such values saturate
// and NaN gives 0. Every value within the range converts as the cast does.
inline int32_t truncate_to_int(double value) {
    if (value != value) return 0;
    // Truncation maps (-2^31 - 1, 2^31) into the range, and only that interval.
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The rotozoomer's per-call steps, in double: kc = cos(angle) / zoom * 65536,
// ks = sin(angle) / zoom * 65536, multiplied in that order and truncated. Every
// path takes its steps from here, so all of them start from the same values.
struct RotozoomSteps {
    int32_t kc;
    int32_t ks;
};
inline RotozoomSteps rotozoom_steps(float zoom, float angle) {
    const double r = 1.0 / static_cast<double>(zoom);
    return {truncate_to_int(std::cos(static_cast<double>(angle)) * r * 65536.0),
            truncate_to_int(std::sin(static_cast<double>(angle)) * r * 65536.0)};
}

// The radial zoom's step K = factor * 65536, truncated.
inline int32_t radial_step(float factor) { return truncate_to_int(static_cast<double>(factor) * 65536.0); }

}  // namespace fixed_point
