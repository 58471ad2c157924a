// The effects' AVX2 layer: the shared kernels at 8 pixels per register.
#include "effects/effects_kernels.h"
#include "effects/effects_paths.h"
#include "effects/radial_wavefront.h"

namespace effects::avx2 {

void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    rotozoom_kernel<__m256i>(source, destination, kc, ks);
}

void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed) {
    shadow_grid_kernel<__m256i>(source, destination, light_column, light_row, seed);
}

void radial_zoom(Pixel* page, int32_t k) {
    if (!radial_wavefront<__m256i>(page, k)) radial_zoom_kernel<__m256i>(page, k);
}

void alpha_overlay(const Pixel* source, Pixel* destination) { alpha_overlay_kernel<__m256i>(source, destination); }

}  // namespace effects::avx2
