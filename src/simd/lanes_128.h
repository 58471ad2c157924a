// The lane vocabulary at 4 pixels a register (SSE2).
// Included by simd/lanes.h.
#pragma once

namespace lanes {
namespace {

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
inline __m128i select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

}  // namespace
}  // namespace lanes
