// The effects' lane kernels: the two-lane bilinear blend of
// fixed_point::blend4 at each register width, with the weight helpers and the
// pixel shuffles that the effects' kernels share. Written in the lane
// vocabulary (simd/lanes.h), with the same internal linkage.
#pragma once

#include "simd/lanes.h"

namespace lanes {
namespace {

// ---- 4 pixels, SSE2 ----------------------------------------------------

// Each pixel's top byte in both of its 16-bit words: (p >> 24) | (p >> 8 AND
// 0xFF0000).
inline __m128i alpha_words(__m128i p) {
    return _mm_or_si128(_mm_srli_epi32(p, 24), _mm_and_si128(_mm_srli_epi32(p, 8), _mm_set1_epi32(0x00FF0000)));
}
// Channels as 16-bit words (the low two pixels).
inline __m128i widen_lo(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
// Grey pixels (w AND 0xFF) * 0x10101 = the low byte in bytes 0, 1, 2.
inline __m128i grey_from_low_byte(__m128i w) {
    const __m128i g = _mm_and_si128(w, _mm_set1_epi32(0xFF));
    return _mm_or_si128(_mm_or_si128(g, _mm_slli_epi32(g, 8)), _mm_slli_epi32(g, 16));
}

// The two-lane bilinear blend of fixed_point::blend4 for four pixels at once:
// pixel k blends page[n], page[n + 1], page[n + 640], page[n + 641] with its
// own weights, each a 16-bit word twice (gx2 = 16 - fx, fx2 = fx, gy2 = 16 - fy,
// fy2 = fy). Per channel in 16-bit words: the vertical pass
// top * (16 - fy) + bottom * fy is at most 255 * 16, the horizontal pass
// left * (16 - fx) + right * fx at most 255 * 256, so no word overflows and
// >> 8 gives floor(sum / 256) exactly as the 32-bit lanes do.
inline __m128i bilinear_words(const Pixel* page, __m128i n, __m128i gx2, __m128i fx2, __m128i gy2, __m128i fy2) {
    alignas(16) uint32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), n);
    __m128i words[4];
#define ORVO_BILINEAR_PIXEL(k, sel)                                                                          \
    {                                                                                                        \
        const Pixel* p = page + index[k];                                                                    \
        const __m128i top = widen_lo(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));                  \
        const __m128i bottom = widen_lo(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + kPageWidth)));  \
        const __m128i column = _mm_add_epi16(_mm_mullo_epi16(top, _mm_shuffle_epi32(gy2, sel)),              \
                                             _mm_mullo_epi16(bottom, _mm_shuffle_epi32(fy2, sel)));          \
        const __m128i weight = _mm_unpacklo_epi64(_mm_shuffle_epi32(gx2, sel), _mm_shuffle_epi32(fx2, sel)); \
        const __m128i h = _mm_mullo_epi16(column, weight);                                                   \
        words[k] = _mm_srli_epi16(_mm_add_epi16(h, _mm_unpackhi_epi64(h, h)), 8);                            \
    }
    ORVO_BILINEAR_PIXEL(0, 0x00)
    ORVO_BILINEAR_PIXEL(1, 0x55)
    ORVO_BILINEAR_PIXEL(2, 0xAA)
    ORVO_BILINEAR_PIXEL(3, 0xFF)
#undef ORVO_BILINEAR_PIXEL
    return _mm_packus_epi16(_mm_unpacklo_epi64(words[0], words[1]), _mm_unpacklo_epi64(words[2], words[3]));
}
// The same from weight words (x_weight_word, y_weight_word) or from fx, fy.
inline __m128i bilinear_weighted(const Pixel* page, __m128i n, __m128i wx, __m128i gy2, __m128i fy2) {
    // wx has bytes (16 - fx, fx) twice: its even bytes as words are 16 - fx
    // twice, its odd bytes fx twice.
    return bilinear_words(page, n, _mm_and_si128(wx, _mm_set1_epi32(0x00FF00FF)), _mm_srli_epi16(wx, 8), gy2, fy2);
}
inline __m128i bilinear(const Pixel* page, __m128i n, __m128i fx, __m128i fy) {
    auto twice = [](__m128i w) { return _mm_or_si128(w, _mm_slli_epi32(w, 16)); };
    return bilinear_words(page, n, twice(_mm_sub_epi32(_mm_set1_epi32(16), fx)), twice(fx),
                          twice(_mm_sub_epi32(_mm_set1_epi32(16), fy)), twice(fy));
}

// ---- 8 pixels, AVX2 ----------------------------------------------------

#if defined(__AVX2__)
// One byte shuffle: byte 0 of each pixel to bytes 0, 1, 2, byte 3 cleared.
inline __m256i grey_from_low_byte(__m256i w) {
    return _mm256_shuffle_epi8(w, _mm256_setr_epi8(0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1,  //
                                                   0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1));
}
// Each pixel's top byte in both of its 16-bit words, by one byte shuffle.
inline __m256i alpha_words(__m256i p) {
    return _mm256_shuffle_epi8(p, _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1,  //
                                                   3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1));
}

// The same blend for eight pixels, from each pixel's two horizontal pairs
// (n, n + 1) and (n + 640, n + 641) with the left and right bytes of each
// channel interleaved: pmaddubsw with wx's byte pairs (16 - fx, fx) forms
// left * (16 - fx) + right * fx per channel (<= 255 * 16) in one step; the
// vertical pass follows in 16-bit words (<= 255 * 256). The pairs sit as
// [0 1 | 4 5] (a) and [2 3 | 6 7] (b) so that the per-half pack returns pixels
// 0..7 in order.
inline __m256i blend_pairs(__m256i top_a, __m256i top_b, __m256i bottom_a, __m256i bottom_b, __m256i wx, __m256i gy2,
                           __m256i fy2) {
    // Each pixel's dword doubled to a qword: its four channels' weights.
    const __m256i top_h_a = _mm256_maddubs_epi16(top_a, _mm256_unpacklo_epi32(wx, wx));
    const __m256i top_h_b = _mm256_maddubs_epi16(top_b, _mm256_unpackhi_epi32(wx, wx));
    const __m256i bottom_h_a = _mm256_maddubs_epi16(bottom_a, _mm256_unpacklo_epi32(wx, wx));
    const __m256i bottom_h_b = _mm256_maddubs_epi16(bottom_b, _mm256_unpackhi_epi32(wx, wx));
    const __m256i sum_a = _mm256_add_epi16(_mm256_mullo_epi16(top_h_a, _mm256_unpacklo_epi32(gy2, gy2)),
                                           _mm256_mullo_epi16(bottom_h_a, _mm256_unpacklo_epi32(fy2, fy2)));
    const __m256i sum_b = _mm256_add_epi16(_mm256_mullo_epi16(top_h_b, _mm256_unpackhi_epi32(gy2, gy2)),
                                           _mm256_mullo_epi16(bottom_h_b, _mm256_unpackhi_epi32(fy2, fy2)));
    return _mm256_packus_epi16(_mm256_srli_epi16(sum_a, 8), _mm256_srli_epi16(sum_b, 8));
}

// Pixel k of page at element n[k], its pairs fetched by gathers. (Gathers beat
// eight scalar pair loads here: the loads were cheap, the shuffles that
// assembled them were not.)
inline __m256i bilinear_weighted(const Pixel* page, __m256i n, __m256i wx, __m256i gy2, __m256i fy2) {
    // Indices in the order 0 1 4 5 | 2 3 6 7; each gather fetches four pairs.
    const __m256i order = _mm256_permutevar8x32_epi32(n, _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
    const __m128i index_a = _mm256_castsi256_si128(order);
    const __m128i index_b = _mm256_extracti128_si256(order, 1);
    const auto* top = reinterpret_cast<const long long*>(page);
    const auto* bottom = reinterpret_cast<const long long*>(page + kPageWidth);
    const __m256i interleave = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,  //
                                                0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    return blend_pairs(_mm256_shuffle_epi8(_mm256_i32gather_epi64(top, index_a, 4), interleave),
                       _mm256_shuffle_epi8(_mm256_i32gather_epi64(top, index_b, 4), interleave),
                       _mm256_shuffle_epi8(_mm256_i32gather_epi64(bottom, index_a, 4), interleave),
                       _mm256_shuffle_epi8(_mm256_i32gather_epi64(bottom, index_b, 4), interleave), wx, gy2, fy2);
}

inline __m256i bilinear(const Pixel* page, __m256i n, __m256i fx, __m256i fy) {
    auto twice = [](__m256i w) { return _mm256_or_si256(w, _mm256_slli_epi32(w, 16)); };
    const __m256i sixteen = _mm256_set1_epi32(16);
    // 16 + fx * 255 = (16 - fx) + (fx << 8): the byte pair (16 - fx, fx).
    return bilinear_weighted(page, n, twice(_mm256_add_epi32(sixteen, _mm256_sub_epi32(_mm256_slli_epi32(fx, 8), fx))),
                             twice(_mm256_sub_epi32(sixteen, fy)), twice(fy));
}

// The same blend when all eight neighbourhoods lie in the box of 3 rows by 4
// pixels whose top left is corner: lane k's top left pixel is box cell
// dx + 4 * dy (dx 0..2, dy 0..1). Rows 0 | 1 and rows 1 | 2 each fill one
// register, so one permute by cell picks every lane's top (or bottom) pixel
// from its own row, and cell + 1 its right neighbour. unpack*_epi8 of the left
// and right pixels interleaves their bytes in the [0 1 | 4 5], [2 3 | 6 7]
// order that blend_pairs takes.
inline __m256i bilinear_box3x4_dword_permutes(const Pixel* corner, __m256i cell, __m256i wx, __m256i gy2, __m256i fy2) {
    const __m128i row1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(corner + kPageWidth));
    const __m256i upper = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(corner))), row1, 1);
    const __m256i lower = _mm256_inserti128_si256(
        _mm256_castsi128_si256(row1), _mm_loadu_si128(reinterpret_cast<const __m128i*>(corner + 2 * kPageWidth)), 1);
    const __m256i cell1 = _mm256_add_epi32(cell, _mm256_set1_epi32(1));
    const __m256i top_l = _mm256_permutevar8x32_epi32(upper, cell);
    const __m256i top_r = _mm256_permutevar8x32_epi32(upper, cell1);
    const __m256i bottom_l = _mm256_permutevar8x32_epi32(lower, cell);
    const __m256i bottom_r = _mm256_permutevar8x32_epi32(lower, cell1);
    return blend_pairs(_mm256_unpacklo_epi8(top_l, top_r), _mm256_unpackhi_epi8(top_l, top_r),
                       _mm256_unpacklo_epi8(bottom_l, bottom_r), _mm256_unpackhi_epi8(bottom_l, bottom_r), wx, gy2,
                       fy2);
}

// The same blend when all eight neighbourhoods lie in the box of 4 rows by 4
// pixels whose top left is corner: lane k's top left pixel is box cell
// dx + 4 * dy (dx, dy 0..2). Rows 0-1 and rows 2-3 each fill one register;
// a neighbour is a dword permute of each, blended by whether its cell lies in
// rows 2-3 (cell + 1 stays in the row of cell, cell + 4 is the row below).
inline __m256i bilinear_box4x4_dword_permutes(const Pixel* corner, __m256i cell, __m256i wx, __m256i gy2, __m256i fy2) {
    auto row = [corner](int r) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(corner + r * kPageWidth)); };
    const __m256i rows01 = _mm256_inserti128_si256(_mm256_castsi128_si256(row(0)), row(1), 1);
    const __m256i rows23 = _mm256_inserti128_si256(_mm256_castsi128_si256(row(2)), row(3), 1);
    const __m256i seven = _mm256_set1_epi32(7);
    auto fetch = [&](__m256i index, __m256i lower) {
        return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(rows01, index),
                                  _mm256_permutevar8x32_epi32(rows23, index), lower);
    };
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i below = _mm256_add_epi32(cell, _mm256_set1_epi32(4));
    const __m256i top_lower = _mm256_cmpgt_epi32(cell, seven);
    const __m256i bottom_lower = _mm256_cmpgt_epi32(below, seven);
    const __m256i top_l = fetch(cell, top_lower);
    const __m256i top_r = fetch(_mm256_add_epi32(cell, one), top_lower);
    const __m256i bottom_l = fetch(below, bottom_lower);
    const __m256i bottom_r = fetch(_mm256_add_epi32(below, one), bottom_lower);
    return blend_pairs(_mm256_unpacklo_epi8(top_l, top_r), _mm256_unpackhi_epi8(top_l, top_r),
                       _mm256_unpacklo_epi8(bottom_l, bottom_r), _mm256_unpackhi_epi8(bottom_l, bottom_r), wx, gy2,
                       fy2);
}

// (rb >> 8) | (ag AND 0xFF00FF00): the two lanes of a 16-bit blend sum.
inline __m256i merge_rb_ag(__m256i rb, __m256i ag) {
    const __m256i high_bytes = _mm256_set1_epi32(static_cast<int>(0xFF00FF00u));
    return _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_and_si256(ag, high_bytes));
}
#endif

// ---- 8 pixels, AVX-512 (VL, BW, VBMI) on 256-bit registers ---------------

#if defined(__AVX512VL__) && defined(__AVX512BW__) && defined(__AVX512VBMI__)
// Bytes 0-3 of each lane = bits 12-19 of the lane (a 4-bit weight in the low
// nibble): one multishift instead of a shift, a mask and a byte shuffle.
inline __m256i weight_nibbles(__m256i coord) {
    // (The zero-masking form: GCC 12's unmasked one warns of its undefined
    // pass-through operand.)
    return _mm256_maskz_multishift_epi64_epi8(~__mmask32{0}, _mm256_set1_epi64x(0x2C2C2C2C0C0C0C0Cll), coord);
}

// The byte pairs (16 - fx, fx) twice per lane, from the 16.16 x coordinates:
// (fx ^ 15) + 1 = 16 - fx in the even bytes.
inline __m256i x_weight_pairs(__m256i u) {
    const __m256i flipped = _mm256_ternarylogic_epi32(weight_nibbles(u), _mm256_set1_epi32(0x0F0F0F0F),
                                                      _mm256_set1_epi32(0x000F000F), 0x6A);  // (a & b) ^ c
    return _mm256_add_epi8(flipped, _mm256_set1_epi32(0x00010001));
}

// fy as a 16-bit word twice per lane, from the 16.16 y coordinates.
inline __m256i y_fraction_words(__m256i v) {
    return _mm256_and_si256(weight_nibbles(v), _mm256_set1_epi32(0x000F000F));
}

// The blend of fixed_point::blend4 for eight pixels whose neighbourhoods all
// lie in the box of 4 rows by 4 pixels at corner. Rows 0-1 and rows 2-3 fill
// two registers, 64 bytes that a two-table byte permute indexes by
// 16 * row + 4 * column + channel; cell4 holds each lane's top left pixel as
// 16 * dy + 4 * dx. The permutes lay each channel's left and right bytes side
// by side, blue and red in one register and green and the top byte in
// another, so pmaddubsw with the pairs (16 - fx, fx) forms the horizontal
// pass (<= 255 * 16), 16-bit multiplies the vertical one (<= 255 * 256), and
// the two sums are blend4's RB and AG lanes: no pack or unpack follows.
inline __m256i bilinear_box4x4_byte_permutes(const Pixel* corner, __m256i cell4, __m256i wx, __m256i fy2) {
    auto row = [corner](int r) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(corner + r * kPageWidth)); };
    const __m256i rows01 = _mm256_inserti128_si256(_mm256_castsi128_si256(row(0)), row(1), 1);
    const __m256i rows23 = _mm256_inserti128_si256(_mm256_castsi128_si256(row(2)), row(3), 1);
    // Each lane's low byte in all four of its bytes.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,  //
                                            0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i at = _mm256_shuffle_epi8(cell4, spread);
    // Byte offsets: left blue, right blue, left red, right red (+1: green and
    // the top byte; +16: the row below).
    const __m256i rb = _mm256_add_epi32(at, _mm256_set1_epi32(0x06020400));
    const __m256i ag = _mm256_add_epi32(at, _mm256_set1_epi32(0x07030501));
    const __m256i below = _mm256_set1_epi32(0x10101010);
    auto horizontal = [&](__m256i index) {
        return _mm256_maddubs_epi16(_mm256_permutex2var_epi8(rows01, index, rows23), wx);
    };
    const __m256i gy2 = _mm256_sub_epi16(_mm256_set1_epi16(16), fy2);
    const __m256i sum_rb = _mm256_add_epi16(_mm256_mullo_epi16(horizontal(rb), gy2),
                                            _mm256_mullo_epi16(horizontal(_mm256_add_epi32(rb, below)), fy2));
    const __m256i sum_ag = _mm256_add_epi16(_mm256_mullo_epi16(horizontal(ag), gy2),
                                            _mm256_mullo_epi16(horizontal(_mm256_add_epi32(ag, below)), fy2));
    // (rb >> 8) | (ag AND 0xFF00FF00)
    return _mm256_ternarylogic_epi32(_mm256_srli_epi16(sum_rb, 8), sum_ag,
                                     _mm256_set1_epi32(static_cast<int>(0xFF00FF00u)), 0xF8);
}
#endif

// ---- 16 pixels, AVX-512 (BW) on 512-bit registers ------------------------

#if defined(__AVX512F__) && defined(__AVX512BW__)
inline __m512i alpha_words(__m512i p) {
    return _mm512_shuffle_epi8(p, _mm512_set4_epi32(static_cast<int>(0xFF0FFF0Fu), static_cast<int>(0xFF0BFF0Bu),
                                                    static_cast<int>(0xFF07FF07u), static_cast<int>(0xFF03FF03u)));
}
// 0xF8: a | (b & c).
inline __m512i merge_rb_ag(__m512i rb, __m512i ag) {
    return _mm512_ternarylogic_epi32(srl16<8>(rb), ag, _mm512_set1_epi32(static_cast<int>(0xFF00FF00u)), 0xF8);
}
#endif

// ---- every width ---------------------------------------------------------

// Weight words of the blends, per pixel: x as the byte pairs (16 - fx, fx)
// twice, since 16 + fx * 255 = (16 - fx) + (fx << 8); y as a 16-bit word
// twice (16 - fy for the top row, fy for the bottom). Tables of them serve
// pixels whose weights repeat.
inline uint32_t x_weight_word(uint32_t fx) { return (16 + fx * 255) * 0x10001u; }
inline uint32_t y_weight_word(uint32_t w) { return w * 0x10001u; }
template <class V> inline V x_weight_words(V fx) {
    const V w = add32(set1<V>(16), sub32(sll32<8>(fx), fx));
    return or_(w, sll32<16>(w));
}
template <class V> inline V y_weight_words(V w) { return or_(w, sll32<16>(w)); }

}  // namespace
}  // namespace lanes
