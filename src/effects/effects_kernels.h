// The effects' SIMD kernels, written once over the register type (simd/lanes.h)
// and compiled by effects_sse2.cpp, effects_avx2.cpp and effects_avx512.cpp.
// Each gives the bits of its plain version in effects::plain; the comments say
// why.
#pragma once

#include <cstdint>

#include "core/frame_store.h"
#include "effects/blend_lanes.h"
#include "effects/kernel_limits.h"
#include "effects/shadow_grid_blocks.h"

namespace effects {
namespace {

using namespace lanes;

// Rows of the rotozoom. A row whose closed-form source positions at both ends
// (in 64 bits) pass the range test passes it everywhere between, and then its
// wrapping 32-bit coordinates are the exact ones: it is written whole. Other
// rows test each pixel on the 32-bit coordinates exactly as the plain loop
// does, and a failing lane reads pixel 0 and keeps the old destination.
//
// With kRowBoxes (AVX2, for steps that pass rotozoom_row_box_fits), whole
// rows read each group's 3 x 4 source box instead of gathering.
template <class V, bool kRowBoxes = false>
void rotozoom_kernel(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    constexpr int kN = kPixels<V>;
    static_assert(!kRowBoxes || kN == 8, "the 3 x 4 boxes are 8 lanes wide");
    const uint32_t ukc = static_cast<uint32_t>(kc);
    const uint32_t uks = static_cast<uint32_t>(ks);
    const V lane_u = mul32(lane_index<V>(), set1<V>(ukc));
    const V lane_v = mul32(lane_index<V>(), set1<V>(uks));
    const V step_u = set1<V>(ukc * kN);
    const V step_v = set1<V>(uks * kN);
    const V fifteen = set1<V>(15);
    auto inside = [](int64_t c, int64_t bound) { return c >= 0 && c < bound; };
    // The lane with the least x (y): the first if x (y) grows along the row.
    const uint32_t lo_u = kc < 0 ? ukc * (kN - 1) : 0u;
    const uint32_t lo_v = ks < 0 ? uks * (kN - 1) : 0u;
    for (int32_t j = 0; j < kPageHeight; ++j) {
        const uint32_t u0 = 0x1400000u - 320u * ukc - static_cast<uint32_t>(j - 240) * uks;
        const uint32_t v0 = 0xF00000u - 320u * uks + static_cast<uint32_t>(j - 240) * ukc;
        const int64_t ue0 = 0x1400000 - 320 * int64_t{kc} - (j - 240) * int64_t{ks};
        const int64_t ve0 = 0xF00000 - 320 * int64_t{ks} + (j - 240) * int64_t{kc};
        const bool whole = inside(ue0, 0x27F0000) && inside(ue0 + 639 * int64_t{kc}, 0x27F0000) &&
                           inside(ve0, 0x1DF0000) && inside(ve0 + 639 * int64_t{ks}, 0x1DF0000);
        V u = add32(set1<V>(u0), lane_u);
        V v = add32(set1<V>(v0), lane_v);
        Pixel* out = destination + j * kPageWidth;
        if constexpr (kN == 8) {
            if (whole && kRowBoxes) {
                uint32_t u_lo = u0 + lo_u, v_lo = v0 + lo_v;
                for (int32_t i = 0; i < kPageWidth;
                     i += kN, u = add32(u, step_u), v = add32(v, step_v), u_lo += ukc * kN, v_lo += uks * kN) {
                    // Such steps keep every source position within
                    // 320 * 2/7 + 240 * 1/7 < 126 px of (320, 240), so the box
                    // needs no clamp to stay in the page.
                    const uint32_t x0 = u_lo >> 16, y0 = v_lo >> 16;
                    // cell = (x - x0) + 4 * (y - y0) = (x + 4y) - (x0 + 4 * y0)
                    const V cell = sub32(add32(srl32<16>(u), sll32<2>(srl32<16>(v))), set1<V>(x0 + 4 * y0));
                    const V fy = and_(srl32<12>(v), fifteen);
                    store(out + i, bilinear_box3x4_dword_permutes(
                                       source + y0 * kPageWidth + x0, cell, x_weight_words(and_(srl32<12>(u), fifteen)),
                                       y_weight_words(sub32(set1<V>(16), fy)), y_weight_words(fy)));
                }
                continue;
            }
        }
        for (int32_t i = 0; i < kPageWidth; i += kN, u = add32(u, step_u), v = add32(v, step_v)) {
            const V y = srl32<16>(v);
            V n = add32(add32(sll32<9>(y), sll32<7>(y)), srl32<16>(u));  // y * 640 + x
            const V fx = and_(srl32<12>(u), fifteen);
            const V fy = and_(srl32<12>(v), fifteen);
            if (whole) {
                store(out + i, bilinear(source, n, fx, fy));
                continue;
            }
            const V pass = and_(below(u, 0x27F0000u), below(v, 0x1DF0000u));
            n = and_(n, pass);
            store(out + i, select(pass, bilinear(source, n, fx, fy), load<V>(out + i)));
        }
    }
}

#if defined(__AVX2__)
// The rotozoom in blocks of 4 columns by 2 rows of destination pixels, one
// 8-lane register each, for steps that pass rotozoom_box_fits (kernel_limits.h).
// box_blend(corner, u, v, x0, y0) blends the block whose lanes' coordinates
// are u and v from the box whose top left pixel (x0, y0) is at corner.
template <class BoxBlend>
void rotozoom_blocks(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks, BoxBlend box_blend) {
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
            const __m256i blended = box_blend(source + y0 * kPageWidth + x0, u, v, x0, y0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(blended));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kPageWidth), _mm256_extracti128_si256(blended, 1));
        }
    }
}
#endif

// The shadow grid fused into one pass: the block words come straight from the
// shades at the sample pixels (block_words), and since the shade map and the
// composition are per pixel, each pixel is composed at once from its shade,
// its source word and its block word.
template <class V>
void shadow_grid_kernel(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row,
                        uint32_t& seed) {
    constexpr int kN = kPixels<V>;
    uint32_t words[kBlockRows][kBlockColumns];
    block_words(source, light_column, light_row, seed, words);
    const Pixel* light_row_pixels = source + light_row * kPageWidth;
    const V low_byte = set1<V>(0xFFu);
    const V red = set1<V>(0xFF0000u);
    const V max_shade = set1<V>(255u);
    const V grey_limit = set1<V>(0x7FFFu);
    for (int32_t y = 0; y < kPageHeight; ++y) {
        // a * b < 65536 sits in the low word of each lane, so the 16-bit
        // multiply is the whole product.
        const V a = set1<V>(source[y * kPageWidth + light_column] & 0xFFu);
        const uint32_t* block_row = words[y / kBlockSize];
        const Pixel* in = source + y * kPageWidth;
        Pixel* out = destination + y * kPageWidth;
        for (int32_t x = 0; x < kPageWidth; x += kN) {
            const V b = and_(load<V>(light_row_pixels + x), low_byte);
            const V v = sub32(max_shade, srl32<8>(mul16(a, b)));
            const V u = srl32<8>(mul32(v, load<V>(in + x)));
            const V w = mul32(u, set1<V>(block_row[x / kBlockSize]));
            // Signed w >= 0x8000: grey from w's low byte; else w's red byte.
            store(out + x, select(cmpgt32(w, grey_limit), grey_from_low_byte(w), and_(w, red)));
        }
    }
}

// floor((s * a + d * (256 - a)) / 256) per channel, in the plain loop's RB
// and AG lanes held as 16-bit words (no widening shuffles): a word of a sum
// is at most 255 * 256, so the low 16 bits of each product are enough. RB is
// p AND 0x00FF00FF; AG is p >> 8 per word, which leaves green and alpha in
// the words' low bytes with nothing to mask. RB's words >> 8 land red and blue
// in bytes 2 and 0; AG's sum has green's result in bits 8-15 already, and its
// alpha word is dropped. a sits in both words of its pixel (alpha_words).
template <class V> void alpha_overlay_kernel(const Pixel* source, Pixel* destination) {
    constexpr int kN = kPixels<V>;
    const V full = set1<V>(0x01000100u);  // 256 in both words
    const V rb_mask = set1<V>(0x00FF00FFu);
    const V g_result = set1<V>(0x0000FF00u);
    for (int32_t n = 0; n < kPagePixels; n += kN) {
        const V s = load<V>(source + n);
        const V d = load<V>(destination + n);
        const V a = alpha_words(s);
        const V b = sub16(full, a);
        const V rb = add16(mul16(and_(s, rb_mask), a), mul16(and_(d, rb_mask), b));
        const V ag = add16(mul16(srl16<8>(s), a), mul16(srl16<8>(d), b));
        store(destination + n, or_(srl16<8>(rb), and_(ag, g_result)));
    }
}

// The radial zoom, pixel by pixel as independent as the order allows: the
// SSE2 layer, and the factors that the register wavefront (radial_wavefront.h)
// of the AVX2 and AVX-512 layers does not take. In a quadrant pass, with
// column step c and row step r counted from the centre, every pixel read with
// a non-zero weight other than the pixel itself lies at steps (c', r') with
// c' <= c and r' <= r; since the plain order finishes all such pixels first,
// they have their new values when read. The rows go in
// bands of 80, and within a band anti-diagonal t holds the pixels with
// c + (r - band start) = t: those read only pixels of earlier bands and of
// earlier diagonals of their band (new) and themselves (old), so the pixels of
// one diagonal are independent, and bands and diagonals in increasing order
// read exactly what the plain order reads. Pixels read with weight 0 may be
// old or new: they never count. (A band's wavefront spans 80 rows instead of
// 240, so the lines it works on stay in the nearer caches.)
//
// The source column and fx depend only on c, the source row and fy only on r,
// so both come from small tables, the weights as the blend's weight words. A
// lane k of a group at diagonal t has row step r0 + k and column step c0 - k;
// the column tables are kept in reverse (index 319 - c) so that both loads
// are contiguous. Lane k + 1 lies one row further out and one column further
// in, so the lanes' targets are kStride pixels apart. Lanes past the end of
// the diagonal read padding, or rows of the next band, that point at real
// pixels and are not stored.
inline constexpr int kRadialBand = 80;
inline constexpr int kPrefetchAhead = 32;

template <class V, int kRowDir, int kColDir>
void radial_quadrant(Pixel* page, int32_t first_row, uint32_t v, uint32_t v_step, int32_t first_col, uint32_t u,
                     uint32_t u_step) {
    constexpr int kN = kPixels<V>;
    constexpr int kCols = kPageWidth / 2;
    constexpr int kRows = kPageHeight / 2;
    constexpr int kStride = kRowDir * kPageWidth - kColDir;
    alignas(32) uint32_t col_source[kCols + 8], col_wx[kCols + 8];
    alignas(32) uint32_t row_source[kRows + 8], row_gy[kRows + 8], row_fy[kRows + 8];
    for (int c = 0; c < kCols; ++c, u += u_step) {
        col_source[kCols - 1 - c] = u >> 16;
        col_wx[kCols - 1 - c] = x_weight_word((u >> 12) & 15u);
    }
    for (int r = 0; r < kRows; ++r, v += v_step) {
        row_source[r] = (v >> 16) * kPageWidth;
        row_gy[r] = y_weight_word(16 - ((v >> 12) & 15u));
        row_fy[r] = y_weight_word((v >> 12) & 15u);
    }
    for (int pad = 0; pad < 8; ++pad) {
        col_source[kCols + pad] = col_source[kCols - 1];
        col_wx[kCols + pad] = x_weight_word(0);
        row_source[kRows + pad] = row_source[0];
        row_gy[kRows + pad] = y_weight_word(16);
        row_fy[kRows + pad] = y_weight_word(0);
    }
    alignas(32) uint32_t result[8];
    for (int band = 0; band < kRows; band += kRadialBand) {
        for (int t = 0; t < kCols + kRadialBand - 1; ++t) {
            const int r_first = band + (t < kCols ? 0 : t - (kCols - 1));
            const int r_last = band + (t < kRadialBand ? t : kRadialBand - 1);
            // In a frame the page arrives partly evicted, and 80 rows walked
            // a pixel at a time are more streams than the hardware follows:
            // each row asks for its line kPrefetchAhead columns ahead once
            // every 16 diagonals.
            for (int r = band + (t & 15); r < band + kRadialBand; r += 16) {
                const int c = t - (r - band) + kPrefetchAhead;
                if (c >= 0 && c < kCols) {
                    _mm_prefetch(reinterpret_cast<const char*>(page + (first_row + r * kRowDir) * kPageWidth +
                                                               first_col + c * kColDir),
                                 _MM_HINT_T0);
                }
            }
            for (int r0 = r_first; r0 <= r_last; r0 += kN) {
                const int c0 = t - (r0 - band);
                const int q0 = kCols - 1 - c0;
                const V n = add32(load<V>(row_source + r0), load<V>(col_source + q0));
                store(result,
                      bilinear_weighted(page, n, load<V>(col_wx + q0), load<V>(row_gy + r0), load<V>(row_fy + r0)));
                Pixel* target = page + (first_row + r0 * kRowDir) * kPageWidth + first_col + c0 * kColDir;
                if (r_last - r0 + 1 >= kN) {
                    for (int k = 0; k < kN; ++k) target[k * kStride] = result[k];
                } else {
                    for (int k = 0; k < r_last - r0 + 1; ++k) target[k * kStride] = result[k];
                }
            }
        }
    }
}

template <class V> void radial_zoom_kernel(Pixel* page, int32_t k) {
    const uint32_t uk = static_cast<uint32_t>(k);
    const uint32_t minus_k = 0u - uk;
    radial_quadrant<V, +1, +1>(page, 240, 0xF00000u, uk, 320, 0x1400000u, uk);
    radial_quadrant<V, -1, +1>(page, 239, 0xF00000u - uk, minus_k, 320, 0x1400000u, uk);
    radial_quadrant<V, +1, -1>(page, 240, 0xF00000u, uk, 319, 0x13F0000u, minus_k);
    radial_quadrant<V, -1, -1>(page, 239, 0xF00000u - uk, minus_k, 319, 0x13F0000u, minus_k);
}

}  // namespace
}  // namespace effects
