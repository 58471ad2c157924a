// Lane helpers for the x86 fast paths, one overload per register width:
// __m128i holds 4 pixels (SSE2), __m256i holds 8 (AVX2, and AVX-512 on
// 256-bit registers, only where the file is compiled with them). Each kernel
// is then written once as a template over the register type. Everything here
// has internal linkage, so the SSE2, AVX2 and AVX-512 files never share one
// compiled copy of a helper. (For the same reason the
// AVX2 and AVX-512 files call no inline function or std template shared with
// baseline code: the linker could keep their copy for every caller.)
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "core/frame_store.h"

namespace lanes {
namespace {

template <class V>
inline constexpr int kPixels = static_cast<int>(sizeof(V) / sizeof(Pixel));

template <class V> V load(const void* p);
template <class V> V set1(uint32_t value);
// Elements [first, last) of the kPixels<V> at p, the rest zero (not read).
template <class V> V load_span(const Pixel* p, int first, int last);
// Lane k set for bit k of bits, as what picks whole lanes of a V: a vector of
// all-ones lanes, or a mask register (LaneMask<V>, below).
template <class V> auto lane_mask(uint32_t bits);

// ---- 4 pixels, SSE2 ----------------------------------------------------

template <> inline __m128i load<__m128i>(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
template <> inline __m128i set1<__m128i>(uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }
inline void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

inline __m128i add32(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
inline __m128i sub32(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
inline __m128i add16(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
inline __m128i sub16(__m128i a, __m128i b) { return _mm_sub_epi16(a, b); }
inline __m128i mul16(__m128i a, __m128i b) { return _mm_mullo_epi16(a, b); }
// Per 32-bit lane: low word * low word + high word * high word, signed.
inline __m128i madd16(__m128i a, __m128i b) { return _mm_madd_epi16(a, b); }
inline __m128i and_(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
inline __m128i or_(__m128i a, __m128i b) { return _mm_or_si128(a, b); }
inline __m128i xor_(__m128i a, __m128i b) { return _mm_xor_si128(a, b); }
inline __m128i cmpgt32(__m128i a, __m128i b) { return _mm_cmpgt_epi32(a, b); }
template <int n> inline __m128i srl32(__m128i v) { return _mm_srli_epi32(v, n); }
template <int n> inline __m128i sll32(__m128i v) { return _mm_slli_epi32(v, n); }
template <int n> inline __m128i srl16(__m128i v) { return _mm_srli_epi16(v, n); }
inline bool all_set(__m128i mask) { return _mm_movemask_epi8(mask) == 0xFFFF; }

// Low 32 bits of each 32 x 32 product: SSE2 multiplies only the even lanes
// into 64 bits, so the odd lanes go through a second multiply and the two
// halves are interleaved back.
inline __m128i mul32(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
}

// Pixels to 16-bit words (each 32-bit lane < 65536), pixel order kept. The
// signed pack saturates, so each word is sign-extended first: (x << 16) >>s 16
// is the same 16 bits, and packs then returns them unchanged.
inline __m128i pack32to16(__m128i a, __m128i b) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
}

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
inline __m128i select(__m128i mask, __m128i a, __m128i b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }

// Four pixels to 3 bytes each (blue, green, red in memory order), in the low
// 12 bytes. Per 64-bit half: q & 0xFFFFFF keeps pixel 0, (q >> 8) & 0xFFFFFF
// << 24 moves pixel 1 down over the dropped top byte; the halves then meet at
// byte 6.
inline __m128i pack24(__m128i v) {
    const __m128i low3 = _mm_set1_epi64x(0x0000000000FFFFFFll);
    const __m128i high3 = _mm_set1_epi64x(0x0000FFFFFF000000ll);
    const __m128i q = _mm_or_si128(_mm_and_si128(v, low3), _mm_and_si128(_mm_srli_epi64(v, 8), high3));
    const __m128i lo = _mm_move_epi64(q);
    const __m128i hi = _mm_slli_si128(_mm_srli_si128(q, 8), 6);
    return _mm_or_si128(lo, hi);
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
template <> inline __m256i load<__m256i>(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
template <> inline __m256i set1<__m256i>(uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }
inline void store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

inline __m256i add32(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
inline __m256i sub32(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
inline __m256i add16(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
inline __m256i sub16(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
inline __m256i mul16(__m256i a, __m256i b) { return _mm256_mullo_epi16(a, b); }
inline __m256i madd16(__m256i a, __m256i b) { return _mm256_madd_epi16(a, b); }
inline __m256i and_(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
inline __m256i or_(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }
inline __m256i xor_(__m256i a, __m256i b) { return _mm256_xor_si256(a, b); }
inline __m256i cmpgt32(__m256i a, __m256i b) { return _mm256_cmpgt_epi32(a, b); }
template <int n> inline __m256i srl32(__m256i v) { return _mm256_srli_epi32(v, n); }
template <int n> inline __m256i sll32(__m256i v) { return _mm256_slli_epi32(v, n); }
template <int n> inline __m256i srl16(__m256i v) { return _mm256_srli_epi16(v, n); }
inline bool all_set(__m256i mask) { return _mm256_movemask_epi8(mask) == -1; }
inline __m256i mul32(__m256i a, __m256i b) { return _mm256_mullo_epi32(a, b); }

// The 256-bit packs work per 128-bit half; the qword permute puts the pixels
// back in order.
inline __m256i pack32to16(__m256i a, __m256i b) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}
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
// mask lanes are all ones or all zeros, so a byte blend selects whole lanes.
inline __m256i select(__m256i mask, __m256i a, __m256i b) { return _mm256_blendv_epi8(b, a, mask); }

// Eight pixels to 24 bytes: each half drops its top bytes (12 bytes at its
// bottom), then dwords 0-2 and 4-6 are joined.
inline __m256i pack24(__m256i v) {
    const __m256i drop_top = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                              0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, drop_top), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

// The same blend for eight pixels, from each pixel's two horizontal pairs
// (n, n + 1) and (n + 640, n + 641) with the left and right bytes of each
// channel interleaved: pmaddubsw with wx's byte pairs (16 - fx, fx) forms
// left * (16 - fx) + right * fx per channel (<= 255 * 16) in one step; the
// vertical pass follows in 16-bit words (<= 255 * 256). The pairs sit as
// [0 1 | 4 5] (a) and [2 3 | 6 7] (b) so that the per-half pack returns pixels
// 0..7 in order.
inline __m256i blend_pairs(__m256i top_a, __m256i top_b, __m256i bottom_a, __m256i bottom_b, __m256i wx,
                           __m256i gy2, __m256i fy2) {
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
inline __m256i bilinear_box(const Pixel* corner, __m256i cell, __m256i wx, __m256i gy2, __m256i fy2) {
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
inline __m256i bilinear_box4x4(const Pixel* corner, __m256i cell, __m256i wx, __m256i gy2, __m256i fy2) {
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

// Wavefront helpers (effects/radial_wavefront.h).
inline __m256i maddubs(__m256i bytes, __m256i weights) { return _mm256_maddubs_epi16(bytes, weights); }
// Bytes 0 and 2 of each lane from a, bytes 1 and 3 from b.
inline __m256i select_bytes02(__m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, _mm256_set1_epi32(0x00FF00FF));
}
// Lanes of a where the mask is set, of b elsewhere.
inline __m256i select_lanes(__m256i mask, __m256i a, __m256i b) { return _mm256_blendv_epi8(b, a, mask); }
template <> inline auto lane_mask<__m256i>(uint32_t bits) {
    const __m256i bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), bit), bit);
}
// (rb >> 8) | (ag AND 0xFF00FF00): the two lanes of a 16-bit blend sum.
inline __m256i merge_rb_ag(__m256i rb, __m256i ag) {
    const __m256i high_bytes = _mm256_set1_epi32(static_cast<int>(0xFF00FF00u));
    return _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_and_si256(ag, high_bytes));
}
// Lane k takes lane k - 1 (lane 0 takes the last lane).
inline __m256i lane_down(__m256i v) {
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
}
// In place: row k of the 8 x 8 block becomes column k.
inline void transpose(__m256i (&m)[8]) {
    __m256i a[8], b[8];
    for (int i = 0; i < 8; i += 2) {
        a[i] = _mm256_unpacklo_epi32(m[i], m[i + 1]);
        a[i + 1] = _mm256_unpackhi_epi32(m[i], m[i + 1]);
    }
    for (int i = 0; i < 8; i += 4) {
        b[i] = _mm256_unpacklo_epi64(a[i], a[i + 2]);
        b[i + 1] = _mm256_unpackhi_epi64(a[i], a[i + 2]);
        b[i + 2] = _mm256_unpacklo_epi64(a[i + 1], a[i + 3]);
        b[i + 3] = _mm256_unpackhi_epi64(a[i + 1], a[i + 3]);
    }
    // b[4g + k] holds, in its 128-bit half h, column 4h + k of rows 4g..4g+3.
    for (int k = 0; k < 4; ++k) {
        m[k] = _mm256_permute2x128_si256(b[k], b[4 + k], 0x20);
        m[4 + k] = _mm256_permute2x128_si256(b[k], b[4 + k], 0x31);
    }
}
// Elements [first, last) of the 8 at p; p itself may lie outside the page
// when those elements don't.
inline __m256i span_mask(int first, int last) {
    const __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(first), index),
                               _mm256_cmpgt_epi32(_mm256_set1_epi32(last), index));
}
template <> inline __m256i load_span<__m256i>(const Pixel* p, int first, int last) {
    return _mm256_maskload_epi32(reinterpret_cast<const int*>(p), span_mask(first, last));
}
inline void store_span(Pixel* p, int first, int last, __m256i v) {
    _mm256_maskstore_epi32(reinterpret_cast<int*>(p), span_mask(first, last), v);
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
inline __m256i bilinear_box4(const Pixel* corner, __m256i cell4, __m256i wx, __m256i fy2) {
    auto row = [corner](int r) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(corner + r * kPageWidth));
    };
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
//
// GCC 12 warns of the undefined pass-through operand of several unmasked
// 512-bit forms; their zero-masking forms with every lane set compile to the
// same instructions.

#if defined(__AVX512F__) && defined(__AVX512BW__)
inline constexpr __mmask16 kAll16 = 0xFFFF;
inline constexpr __mmask8 kAll8 = 0xFF;
inline constexpr __mmask32 kAll32 = 0xFFFFFFFFu;

template <> inline __m512i load<__m512i>(const void* p) { return _mm512_loadu_si512(p); }
template <> inline __m512i set1<__m512i>(uint32_t value) { return _mm512_set1_epi32(static_cast<int>(value)); }
inline void store(void* p, __m512i v) { _mm512_storeu_si512(p, v); }
inline __m512i add16(__m512i a, __m512i b) { return _mm512_add_epi16(a, b); }
inline __m512i sub16(__m512i a, __m512i b) { return _mm512_sub_epi16(a, b); }
inline __m512i mul16(__m512i a, __m512i b) { return _mm512_mullo_epi16(a, b); }
inline __m512i and_(__m512i a, __m512i b) { return _mm512_and_si512(a, b); }
inline __m512i or_(__m512i a, __m512i b) { return _mm512_or_si512(a, b); }
inline __m512i alpha_words(__m512i p) {
    return _mm512_shuffle_epi8(p, _mm512_set4_epi32(static_cast<int>(0xFF0FFF0Fu), static_cast<int>(0xFF0BFF0Bu),
                                                    static_cast<int>(0xFF07FF07u), static_cast<int>(0xFF03FF03u)));
}
template <int n> inline __m512i srl32(__m512i v) { return _mm512_maskz_srli_epi32(kAll16, v, n); }
template <int n> inline __m512i sll32(__m512i v) { return _mm512_maskz_slli_epi32(kAll16, v, n); }
template <int n> inline __m512i srl16(__m512i v) { return _mm512_maskz_srli_epi16(kAll32, v, n); }

inline __m512i maddubs(__m512i bytes, __m512i weights) { return _mm512_maddubs_epi16(bytes, weights); }
inline __m512i select_bytes02(__m512i a, __m512i b) { return _mm512_mask_blend_epi8(0x5555555555555555ull, b, a); }
inline __m512i select_lanes(__mmask16 mask, __m512i a, __m512i b) { return _mm512_mask_blend_epi32(mask, b, a); }
template <> inline auto lane_mask<__m512i>(uint32_t bits) { return static_cast<__mmask16>(bits); }
// 0xF8: a | (b & c).
inline __m512i merge_rb_ag(__m512i rb, __m512i ag) {
    return _mm512_ternarylogic_epi32(srl16<8>(rb), ag, _mm512_set1_epi32(static_cast<int>(0xFF00FF00u)), 0xF8);
}
inline __m512i lane_down(__m512i v) { return _mm512_maskz_alignr_epi32(kAll16, v, v, 15); }
inline void transpose(__m512i (&m)[16]) {
    __m512i a[16], b[16];
    for (int i = 0; i < 16; i += 2) {
        a[i] = _mm512_maskz_unpacklo_epi32(kAll16, m[i], m[i + 1]);
        a[i + 1] = _mm512_maskz_unpackhi_epi32(kAll16, m[i], m[i + 1]);
    }
    for (int i = 0; i < 16; i += 4) {
        b[i] = _mm512_maskz_unpacklo_epi64(kAll8, a[i], a[i + 2]);
        b[i + 1] = _mm512_maskz_unpackhi_epi64(kAll8, a[i], a[i + 2]);
        b[i + 2] = _mm512_maskz_unpacklo_epi64(kAll8, a[i + 1], a[i + 3]);
        b[i + 3] = _mm512_maskz_unpackhi_epi64(kAll8, a[i + 1], a[i + 3]);
    }
    // b[4g + k] holds, in its 128-bit lane L, column 4L + k of rows 4g..4g+3.
    for (int k = 0; k < 4; ++k) {
        const __m512i lo01 = _mm512_maskz_shuffle_i32x4(kAll16, b[k], b[4 + k], 0x44);
        const __m512i hi01 = _mm512_maskz_shuffle_i32x4(kAll16, b[k], b[4 + k], 0xEE);
        const __m512i lo23 = _mm512_maskz_shuffle_i32x4(kAll16, b[8 + k], b[12 + k], 0x44);
        const __m512i hi23 = _mm512_maskz_shuffle_i32x4(kAll16, b[8 + k], b[12 + k], 0xEE);
        m[k] = _mm512_maskz_shuffle_i32x4(kAll16, lo01, lo23, 0x88);
        m[4 + k] = _mm512_maskz_shuffle_i32x4(kAll16, lo01, lo23, 0xDD);
        m[8 + k] = _mm512_maskz_shuffle_i32x4(kAll16, hi01, hi23, 0x88);
        m[12 + k] = _mm512_maskz_shuffle_i32x4(kAll16, hi01, hi23, 0xDD);
    }
}
inline __mmask16 span_mask16(int first, int last) {
    first = first < 0 ? 0 : first;
    last = last > 16 ? 16 : last;
    return first >= last ? __mmask16{0} : static_cast<__mmask16>((1u << last) - (1u << first));
}
template <> inline __m512i load_span<__m512i>(const Pixel* p, int first, int last) {
    return _mm512_maskz_loadu_epi32(span_mask16(first, last), p);
}
inline void store_span(Pixel* p, int first, int last, __m512i v) {
    _mm512_mask_storeu_epi32(p, span_mask16(first, last), v);
}
#endif

// ---- shared --------------------------------------------------------------

// a < bound as unsigned 32-bit numbers: flipping the sign bit of both turns
// the unsigned order into the signed order that cmpgt compares.
template <class V> inline V below(V a, uint32_t bound) {
    const V sign = set1<V>(0x80000000u);
    return cmpgt32(set1<V>(bound ^ 0x80000000u), xor_(a, sign));
}

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

template <class V> using LaneMask = decltype(lane_mask<V>(0));

// 0, 1, 2, ... in the lanes.
template <class V> inline V lane_index() {
    alignas(32) static constexpr uint32_t kIndex[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    return load<V>(kIndex);
}

}  // namespace
}  // namespace lanes
