// The effects' AVX-512 layer: the rotozoom without gathers, the radial zoom
// as a pipeline in registers, and the overlay at 16 pixels a register. The
// path table (effects.cpp) gives the first two only the steps they take
// (kernel_limits.h) and lends this row AVX2's shadow grid and fallbacks.
//
// The rotozoom's blocks (rotozoom_blocks) take their neighbours by byte
// permutes of the 4 x 4 box (bilinear_box4x4_byte_permutes).
#include "effects/blend_lanes.h"
#include "effects/effects_kernels.h"
#include "effects/effects_paths.h"
#include "effects/radial_wavefront.h"

namespace effects::avx512 {

void rotozoom_blocks(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    // pmaddwd of a 16.16 coordinate with (0, 4) gives 4 x, with (0, 16) 16 y.
    const __m256i times4 = _mm256_set1_epi32(4 << 16);
    const __m256i times16 = _mm256_set1_epi32(16 << 16);
    effects::rotozoom_blocks(
        source, destination, kc, ks,
        [times4, times16](const Pixel* corner, __m256i u, __m256i v, uint32_t x0, uint32_t y0) {
            const __m256i cell4 =
                _mm256_sub_epi32(_mm256_add_epi32(_mm256_madd_epi16(u, times4), _mm256_madd_epi16(v, times16)),
                                 _mm256_set1_epi32(static_cast<int>(4 * x0 + 16 * y0)));
            return bilinear_box4x4_byte_permutes(corner, cell4, x_weight_pairs(u), y_fraction_words(v));
        });
}

void radial_wavefront(Pixel* page, int32_t k) { effects::radial_wavefront<__m512i>(page, k); }

// The shared overlay at 16 pixels a register; its final AND and OR become
// one ternary-logic operation.
void alpha_overlay(const Pixel* source, Pixel* destination) { alpha_overlay_kernel<__m512i>(source, destination); }

}  // namespace effects::avx512
