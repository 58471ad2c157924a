// The effects' AVX2 layer: the shared kernels at 8 pixels per register.
#include "effects/effects_kernels.h"
#include "effects/effects_paths.h"
#include "effects/radial_wavefront.h"

namespace effects::avx2 {

// Small steps run the row kernel's 3 x 4 boxes; larger ones that still fit
// the blocks' 4 x 4 boxes (rotozoom_blocks) take their neighbours by dword
// permutes of that box (bilinear_box4x4) rather than by gathers.
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    if (rotozoom_row_box_fits(kc, ks) || !rotozoom_box_fits(kc, ks)) {
        rotozoom_kernel<__m256i>(source, destination, kc, ks);
        return;
    }
    const __m256i fifteen = _mm256_set1_epi32(15);
    // pmaddwd of a 16.16 coordinate with (0, 1) gives x, with (0, 4) 4 y.
    const __m256i times1 = _mm256_set1_epi32(1 << 16);
    const __m256i times4 = _mm256_set1_epi32(4 << 16);
    rotozoom_blocks(source, destination, kc, ks,
                    [=](const Pixel* corner, __m256i u, __m256i v, uint32_t x0, uint32_t y0) {
                        const __m256i cell =
                            _mm256_sub_epi32(_mm256_add_epi32(_mm256_madd_epi16(u, times1), _mm256_madd_epi16(v, times4)),
                                             _mm256_set1_epi32(static_cast<int>(x0 + 4 * y0)));
                        const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(v, 12), fifteen);
                        return bilinear_box4x4(corner, cell, x_weight_words(_mm256_and_si256(_mm256_srli_epi32(u, 12), fifteen)),
                                               y_weight_words(_mm256_sub_epi32(_mm256_set1_epi32(16), fy)),
                                               y_weight_words(fy));
                    });
}

void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed) {
    shadow_grid_kernel<__m256i>(source, destination, light_column, light_row, seed);
}

void radial_zoom(Pixel* page, int32_t k) {
    if (!radial_wavefront<__m256i>(page, k)) radial_zoom_kernel<__m256i>(page, k);
}

void alpha_overlay(const Pixel* source, Pixel* destination) { alpha_overlay_kernel<__m256i>(source, destination); }

}  // namespace effects::avx2
