// The effects' paths: the plain per-pixel code and the SIMD layers, one
// namespace each, all taking the same integer inputs (the float set-up is done
// once, by the public effects in effects.cpp), and the table of them: one row
// per path. For the tests and the effects themselves; users include effects.h.
#pragma once

#include <cstdint>

#include "core/frame_store.h"
#include "simd/simd.h"

namespace effects {

// Declares one path's four effects. The rotozoom takes the steps of
// fixed_point::rotozoom_steps, the radial zoom K = fixed_point::radial_step
// (0..65535 on every path but plain, which takes any K). The shadow grid
// advances seed 300 times.
#define ORVO_EFFECTS_PATH(isa)                                                                         \
    namespace isa {                                                                                    \
    void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);                    \
    void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, \
                     uint32_t& seed);                                                                  \
    void radial_zoom(Pixel* page, int32_t k);                                                          \
    void alpha_overlay(const Pixel* source, Pixel* destination);                                       \
    }

// The reference for every other path.
ORVO_EFFECTS_PATH(plain)
ORVO_EFFECTS_PATH(sse2)
ORVO_EFFECTS_PATH(avx2)
#undef ORVO_EFFECTS_PATH

// AVX-512 (F, VL, BW, VBMI) has its own rotozoom, radial zoom and overlay;
// its row names AVX2's shadow grid.
namespace avx512 {
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
void radial_zoom(Pixel* page, int32_t k);
void alpha_overlay(const Pixel* source, Pixel* destination);
}  // namespace avx512

struct PathRow {
    void (*rotozoom)(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
    void (*shadow_grid)(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row,
                        uint32_t& seed);
    void (*radial_zoom)(Pixel* page, int32_t k);
    void (*alpha_overlay)(const Pixel* source, Pixel* destination);
};

// The row of each path, indexed by simd::Path. Paths this build has no layer
// for (any but plain off x86) name plain's functions.
const PathRow& path_row(simd::Path path);

}  // namespace effects
