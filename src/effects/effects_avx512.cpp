// The effects' AVX-512 layer: the rotozoom without gathers, the radial zoom
// as a pipeline in registers, and the overlay at 16 pixels a register. The
// shadow grid and any call the first two cannot take run the AVX2 layer.
//
// Rotozoom: a register holds a block of 4 columns by 2 rows of destination
// pixels. When the block's source positions span less than 2 px each way
// (3 |kc| + |ks| across, 3 |ks| + |kc| down: zooms above about 1.6 at any
// angle), every pixel's 2 x 2 neighbourhood lies in the 4 x 4 source box at
// the block's least (x, y), and byte permutes of that box replace the gathers
// (bilinear_box4). The box reaches 3 pixels right of and below that corner,
// so the path runs only when every source position of the page lies in
// [0, 636] x [0, 476]; then every pixel passes the range test and the 32-bit
// coordinates are the exact ones. Other calls run the AVX2 kernel.
#include "effects/effects_kernels.h"
#include "effects/effects_paths.h"
#include "effects/radial_wavefront.h"
#include "effects/simd_lanes.h"

namespace effects::avx512 {
namespace {

using namespace lanes;

constexpr int64_t kOne = 65536;

int64_t magnitude(int64_t k) { return k < 0 ? -k : k; }

// A linear map over the page reaches its extremes at the corner pixels, so
// the four corners decide for every pixel (in 64 bits: no wrapping).
bool box_fits(int32_t kc, int32_t ks) {
    if (3 * magnitude(kc) + magnitude(ks) >= 2 * kOne || 3 * magnitude(ks) + magnitude(kc) >= 2 * kOne) return false;
    const int64_t columns[2] = {0 - 320, kPageWidth - 1 - 320};
    const int64_t rows[2] = {0 - 240, kPageHeight - 1 - 240};
    for (int64_t di : columns) {
        for (int64_t dj : rows) {
            const int64_t u = 0x1400000 + di * kc - dj * ks;
            const int64_t v = 0xF00000 + di * ks + dj * kc;
            if (u < 0 || u >= (kPageWidth - 3) * kOne || v < 0 || v >= (kPageHeight - 3) * kOne) return false;
        }
    }
    return true;
}

}  // namespace

void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    if (!box_fits(kc, ks)) {
        avx2::rotozoom(source, destination, kc, ks);
        return;
    }
    const uint32_t ukc = static_cast<uint32_t>(kc);
    const uint32_t uks = static_cast<uint32_t>(ks);
    // Lane k is column k & 3 of row k >> 2 of the block.
    const __m256i lane_u =
        _mm256_setr_epi32(0, ukc, 2 * ukc, 3 * ukc, 0 - uks, ukc - uks, 2 * ukc - uks, 3 * ukc - uks);
    const __m256i lane_v = _mm256_setr_epi32(0, uks, 2 * uks, 3 * uks, ukc, uks + ukc, 2 * uks + ukc, 3 * uks + ukc);
    const __m256i step_u = _mm256_set1_epi32(static_cast<int>(4 * ukc));
    const __m256i step_v = _mm256_set1_epi32(static_cast<int>(4 * uks));
    // The lane with the least u (v): column 3 if it falls along a row, the
    // lower row if it falls down a column.
    const uint32_t lo_u = (kc < 0 ? 3 * ukc : 0u) - (ks > 0 ? uks : 0u);
    const uint32_t lo_v = (ks < 0 ? 3 * uks : 0u) + (kc < 0 ? ukc : 0u);
    // pmaddwd of a 16.16 coordinate with (0, 4) gives 4 x, with (0, 16) 16 y.
    const __m256i times4 = _mm256_set1_epi32(4 << 16);
    const __m256i times16 = _mm256_set1_epi32(16 << 16);
    for (int32_t j = 0; j < kPageHeight; j += 2) {
        const uint32_t u0 = 0x1400000u - 320u * ukc - static_cast<uint32_t>(j - 240) * uks;
        const uint32_t v0 = 0xF00000u - 320u * uks + static_cast<uint32_t>(j - 240) * ukc;
        __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u0)), lane_u);
        __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v0)), lane_v);
        uint32_t u_lo = u0 + lo_u, v_lo = v0 + lo_v;
        Pixel* out = destination + j * kPageWidth;
        for (int32_t i = 0; i < kPageWidth; i += 4, out += 4, u = _mm256_add_epi32(u, step_u),
                     v = _mm256_add_epi32(v, step_v), u_lo += 4 * ukc, v_lo += 4 * uks) {
            const uint32_t x0 = u_lo >> 16, y0 = v_lo >> 16;
            const __m256i cell4 = _mm256_sub_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(u, times4), _mm256_madd_epi16(v, times16)),
                _mm256_set1_epi32(static_cast<int>(4 * x0 + 16 * y0)));
            const __m256i blended =
                bilinear_box4(source + y0 * kPageWidth + x0, cell4, x_weight_pairs(u), y_fraction_words(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(blended));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kPageWidth), _mm256_extracti128_si256(blended, 1));
        }
    }
}

void radial_zoom(Pixel* page, int32_t k) {
    if (!radial_wavefront<__m512i>(page, k)) avx2::radial_zoom(page, k);
}

// The shared overlay at 16 pixels a register; its final AND and OR become
// one ternary-logic operation.
void alpha_overlay(const Pixel* source, Pixel* destination) { alpha_overlay_kernel<__m512i>(source, destination); }

}  // namespace effects::avx512
