// The lane vocabulary at 16 pixels a register (AVX-512 F and BW).
//
// GCC 12 warns of the undefined pass-through operand of several unmasked
// 512-bit forms; their zero-masking forms with every lane set compile to the
// same instructions.
// Included by simd/lanes.h.
#pragma once

namespace lanes {
namespace {

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
template <int n> inline __m512i srl32(__m512i v) { return _mm512_maskz_srli_epi32(kAll16, v, n); }
template <int n> inline __m512i sll32(__m512i v) { return _mm512_maskz_slli_epi32(kAll16, v, n); }
template <int n> inline __m512i srl16(__m512i v) { return _mm512_maskz_srli_epi16(kAll32, v, n); }

inline __m512i maddubs(__m512i bytes, __m512i weights) { return _mm512_maddubs_epi16(bytes, weights); }
inline __m512i select_bytes02(__m512i a, __m512i b) { return _mm512_mask_blend_epi8(0x5555555555555555ull, b, a); }
inline __m512i select_lanes(__mmask16 mask, __m512i a, __m512i b) { return _mm512_mask_blend_epi32(mask, b, a); }
template <> inline auto lane_mask<__m512i>(uint32_t bits) { return static_cast<__mmask16>(bits); }
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

}  // namespace
}  // namespace lanes
