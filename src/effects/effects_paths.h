// The SIMD layers of the effects, one namespace per instruction set. The
// public effects (effects.h) choose among these and effects::plain; they also
// do every per-call floating-point setup, so all paths start from the same
// integer steps. Only x86 builds have these.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace effects {

#define ORVO_EFFECTS_PATH(isa)                                                                                  \
    namespace isa {                                                                                             \
    void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);                            \
    /* Advances seed 300 times, as plain::shadow_grid advances the shared one. */                              \
    void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row,          \
                     uint32_t& seed);                                                                           \
    /* k = factor * 65536 truncated, 0..65535 (factor in [0, 1)). */                                           \
    void radial_zoom(Pixel* page, int32_t k);                                                                   \
    void alpha_overlay(const Pixel* source, Pixel* destination);                                                \
    }

ORVO_EFFECTS_PATH(sse2)
ORVO_EFFECTS_PATH(avx2)
#undef ORVO_EFFECTS_PATH

// AVX-512 (F, VL, BW, VBMI) has its own rotozoom, radial zoom and overlay;
// the shadow grid on that path runs the AVX2 layer.
namespace avx512 {
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks);
void radial_zoom(Pixel* page, int32_t k);
void alpha_overlay(const Pixel* source, Pixel* destination);
}

}  // namespace effects
