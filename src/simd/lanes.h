// The lane vocabulary of the x86 SIMD layers, one overload per register
// width: __m128i holds 4 pixels (SSE2), __m256i holds 8 (AVX2, and AVX-512 on
// 256-bit registers), __m512i 16 (AVX-512). Each kernel is then written once
// as a template over the register type. A width's helpers exist only where
// the including file is compiled for its instruction set.
//
// Everything here has internal linkage, so the SSE2, AVX2 and AVX-512 files
// never share one compiled copy of a helper. (For the same reason the AVX2
// and AVX-512 files call no inline function or std template shared with
// baseline code: the linker could keep their copy for every caller.
// scripts/check-simd-objects.sh checks both.)
//
// On ARM64 the SSE2 layer is compiled through SIMDe's SSE2 header, which
// gives each SSE2 intrinsic NEON instructions with the same results (its
// fast-math options would give that up; they stay off).
#pragma once

#if defined(ORVO_NEON)
#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/sse2.h>
#else
#include <immintrin.h>
#endif

#include <cstdint>

#include "core/frame_store.h"

namespace lanes {
namespace {

template <class V> inline constexpr int kPixels = static_cast<int>(sizeof(V) / sizeof(Pixel));

template <class V> V load(const void* p);
template <class V> V set1(uint32_t value);
// Elements [first, last) of the kPixels<V> at p, the rest zero (not read).
template <class V> V load_span(const Pixel* p, int first, int last);
// Lane k set for bit k of bits, as what picks whole lanes of a V: a vector of
// all-ones lanes, or a mask register (LaneMask<V>, below).
template <class V> auto lane_mask(uint32_t bits);

}  // namespace
}  // namespace lanes

#include "simd/lanes_128.h"
#include "simd/lanes_256.h"
#include "simd/lanes_512.h"

namespace lanes {
namespace {

// a < bound as unsigned 32-bit numbers: flipping the sign bit of both turns
// the unsigned order into the signed order that cmpgt compares.
template <class V> inline V below(V a, uint32_t bound) {
    const V sign = set1<V>(0x80000000u);
    return cmpgt32(set1<V>(bound ^ 0x80000000u), xor_(a, sign));
}

template <class V> using LaneMask = decltype(lane_mask<V>(0));

// 0, 1, 2, ... in the lanes.
template <class V> inline V lane_index() {
    alignas(32) static constexpr uint32_t kIndex[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    return load<V>(kIndex);
}

}  // namespace
}  // namespace lanes
