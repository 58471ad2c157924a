// The converters' SIMD loops, written once over the register type
// (simd/lanes.h) and compiled by converters_sse2.cpp and
// converters_avx2.cpp. Each output field is the plain loop's shift and mask
// applied to whole registers; the last few pixels of a row take the plain
// loop's per-pixel arithmetic (converters_pixel.h), so no store reaches past
// count pixels.
#pragma once

#include <cstdint>
#include <cstring>

#include "display/converters.h"
#include "display/converters_pixel.h"
#include "simd/lanes.h"

namespace convert {
namespace {

using namespace lanes;

// ---- 4 pixels, SSE2 ----------------------------------------------------

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

// ---- 8 pixels, AVX2 ----------------------------------------------------

#if defined(__AVX2__)
// Eight pixels to 24 bytes: each half drops its top bytes (12 bytes at its
// bottom), then dwords 0-2 and 4-6 are joined.
inline __m256i pack24(__m256i v) {
    const __m256i drop_top = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                              0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, drop_top), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}
#endif

// ---- every width ---------------------------------------------------------

template <class V> V same(V p) { return p; }

// Red and blue exchanged, top byte 0.
template <class V> V swap_red_blue(V p) {
    return or_(or_(and_(srl32<16>(p), set1<V>(0xFFu)), and_(p, set1<V>(0xFF00u))), sll32<16>(and_(p, set1<V>(0xFFu))));
}

#if defined(__AVX2__)
// One byte shuffle does the same.
template <> __m256i swap_red_blue(__m256i p) {
    return _mm256_shuffle_epi8(p, _mm256_setr_epi8(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1,  //
                                                   2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1));
}
#endif

// As swap_red_blue, the top byte opaque (bgr32_pixel).
template <class V> V swap_red_blue_opaque(V p) { return or_(swap_red_blue(p), set1<V>(0xFF000000u)); }

// The 16-bit words of the plain loops, one per 32-bit lane. Red and blue
// cut to 5 bits sit in the low bytes of the lane's two 16-bit words, so one
// pmaddwd shifts each into place and adds them (at most 31 * 2048 + 31 in
// 32 bits); green takes a shift and a mask.
template <class V> V red_blue(V p, uint32_t red_and_blue_weights) {
    return madd16(srl32<3>(and_(p, set1<V>(0x00F800F8u))), set1<V>(red_and_blue_weights));
}
template <class V> V rgb565(V p) { return or_(red_blue(p, 0x08000001u), and_(srl32<5>(p), set1<V>(0x07E0u))); }
template <class V> V bgr565(V p) { return or_(red_blue(p, 0x00010800u), and_(srl32<5>(p), set1<V>(0x07E0u))); }
template <class V> V rgb555(V p) { return or_(red_blue(p, 0x04000001u), and_(srl32<6>(p), set1<V>(0x03E0u))); }
template <class V> V bgr555(V p) { return or_(red_blue(p, 0x00010400u), and_(srl32<6>(p), set1<V>(0x03E0u))); }

// The unchanged copy: the C library's copy moves a row faster than a
// register loop does (it picks its own widths and string moves).
template <class V, V (*word)(V)> uint32_t copy32(const Pixel* source, uint8_t* destination, uint32_t count) {
    std::memcpy(destination, source, count * sizeof(Pixel));
    return count;
}

template <class V, V (*word)(V)> uint32_t convert32(const Pixel* source, uint8_t* destination, uint32_t count) {
    constexpr uint32_t kN = kPixels<V>;
    uint32_t i = 0;
    for (; i + kN <= count; i += kN) store(destination + 4 * i, word(load<V>(source + i)));
    return i;
}

template <class V, V (*word)(V)> uint32_t convert16(const Pixel* source, uint8_t* destination, uint32_t count) {
    constexpr uint32_t kN = kPixels<V>;
    uint32_t i = 0;
    for (; i + 2 * kN <= count; i += 2 * kN) {
        store(destination + 2 * i, pack32to16(word(load<V>(source + i)), word(load<V>(source + i + kN))));
    }
    return i;
}

// pack24 leaves 3 * kN bytes at the bottom of a register; the whole register
// is stored while it still ends inside the row, the next store overwriting
// its upper bytes.
template <class V, V (*order)(V)> uint32_t convert24(const Pixel* source, uint8_t* destination, uint32_t count) {
    constexpr uint32_t kN = kPixels<V>;
    constexpr uint32_t kSpan = (sizeof(V) + 2) / 3;  // pixels whose bytes cover one store
    uint32_t i = 0;
    for (; i + (kSpan > kN ? kSpan : kN) <= count; i += kN)
        store(destination + 3 * i, pack24(order(load<V>(source + i))));
    return i;
}

}  // namespace
}  // namespace convert

// A layer's eight converters over register type V: the shared loops for whole
// registers, the reference's own pixel arithmetic for the rest of a row.
// Expanded inside each layer's file, so its instructions stay there.
#define ORVO_CONVERTER_LAYER(V)                                                  \
    ORVO_CONVERTER_OF(V, RGB32, copy32, same, rgb32_pixel, 4)                    \
    ORVO_CONVERTER_OF(V, BGR32, convert32, swap_red_blue_opaque, bgr32_pixel, 4) \
    ORVO_CONVERTER_OF(V, RGB24, convert24, same, rgb24_pixel, 3)                 \
    ORVO_CONVERTER_OF(V, BGR24, convert24, swap_red_blue, bgr24_pixel, 3)        \
    ORVO_CONVERTER_OF(V, RGB565, convert16, rgb565, rgb565_pixel, 2)             \
    ORVO_CONVERTER_OF(V, BGR565, convert16, bgr565, bgr565_pixel, 2)             \
    ORVO_CONVERTER_OF(V, RGB555, convert16, rgb555, rgb555_pixel, 2)             \
    ORVO_CONVERTER_OF(V, BGR555, convert16, bgr555, bgr555_pixel, 2)
#define ORVO_CONVERTER_OF(V, name, loop, word, pixel, bytes)                               \
    void name(const Pixel* source, uint8_t* destination, uint32_t count) {                 \
        const uint32_t done = loop<V, word<V>>(source, destination, count);                \
        each_pixel<pixel, bytes>(source + done, destination + (bytes)*done, count - done); \
    }
