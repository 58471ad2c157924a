// The lane vocabulary at 8 pixels a register (AVX2).
// Included by simd/lanes.h.
#pragma once

namespace lanes {
namespace {

#if defined(__AVX2__)
template <> inline __m256i load<__m256i>(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
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
inline __m256i pack32to16(__m256i a, __m256i b) { return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8); }
// mask lanes are all ones or all zeros, so a byte blend selects whole lanes.
inline __m256i select(__m256i mask, __m256i a, __m256i b) { return _mm256_blendv_epi8(b, a, mask); }

inline __m256i maddubs(__m256i bytes, __m256i weights) { return _mm256_maddubs_epi16(bytes, weights); }
// Bytes 0 and 2 of each lane from a, bytes 1 and 3 from b.
inline __m256i select_bytes02(__m256i a, __m256i b) { return _mm256_blendv_epi8(b, a, _mm256_set1_epi32(0x00FF00FF)); }
// Lanes of a where the mask is set, of b elsewhere.
inline __m256i select_lanes(__m256i mask, __m256i a, __m256i b) { return _mm256_blendv_epi8(b, a, mask); }
template <> inline auto lane_mask<__m256i>(uint32_t bits) {
    const __m256i bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), bit), bit);
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

}  // namespace
}  // namespace lanes
