// The effects' AVX2 layer: the shared kernels at 8 pixels per register.
#include "effects/effects_kernels.h"
#include "effects/effects_paths.h"
#include "effects/radial_wavefront.h"

namespace effects::avx2 {

// The row kernel, gathering.
void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    rotozoom_kernel<__m256i>(source, destination, kc, ks);
}

// The row kernel for small steps: whole rows read 3 x 4 boxes.
void rotozoom_row_boxes(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    rotozoom_kernel<__m256i, true>(source, destination, kc, ks);
}

// Steps that fit the blocks' 4 x 4 boxes (rotozoom_blocks) but not the row
// kernel's 3 x 4 ones take their neighbours by dword permutes of that box
// (bilinear_box4x4_dword_permutes) rather than by gathers.
void rotozoom_blocks(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    const __m256i fifteen = _mm256_set1_epi32(15);
    // pmaddwd of a 16.16 coordinate with (0, 1) gives x, with (0, 4) 4 y.
    const __m256i times1 = _mm256_set1_epi32(1 << 16);
    const __m256i times4 = _mm256_set1_epi32(4 << 16);
    auto box_blend = [=](const Pixel* corner, __m256i u, __m256i v, uint32_t x0, uint32_t y0) {
        const __m256i cell = sub32(add32(madd16(u, times1), madd16(v, times4)), set1<__m256i>(x0 + 4 * y0));
        const __m256i fx = and_(srl32<12>(u), fifteen);
        const __m256i fy = and_(srl32<12>(v), fifteen);
        return bilinear_box4x4_dword_permutes(corner, cell, x_weight_words(fx),
                                              y_weight_words(sub32(set1<__m256i>(16), fy)), y_weight_words(fy));
    };
    effects::rotozoom_blocks(source, destination, kc, ks, box_blend);
}

void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed) {
    shadow_grid_kernel<__m256i>(source, destination, light_column, light_row, seed);
}

void radial_wavefront(Pixel* page, int32_t k) { effects::radial_wavefront<__m256i>(page, k); }

void radial_zoom(Pixel* page, int32_t k) { radial_zoom_kernel<__m256i>(page, k); }

void alpha_overlay(const Pixel* source, Pixel* destination) { alpha_overlay_kernel<__m256i>(source, destination); }

}  // namespace effects::avx2
