// Each source row is widened once, four pixels to a register (SSE2 is part
// of every x86-64), and the wide row then copied to the scale - 1 rows
// below it.
#include "tools/render/frame_scaler.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace frame_scaler {
namespace {

// One row, each pixel repeated scale times: four pixels a step where SSE2
// has the shuffles, the rest one by one.
void widen_row(const uint32_t* in, int width, int scale, uint32_t* out) {
    int x = 0;
#if defined(__SSE2__)
    __m128i* wide = reinterpret_cast<__m128i*>(out);
    if (scale == 2) {
        for (; x + 4 <= width; x += 4, wide += 2) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            _mm_storeu_si128(wide, _mm_unpacklo_epi32(v, v));
            _mm_storeu_si128(wide + 1, _mm_unpackhi_epi32(v, v));
        }
    } else if (scale == 3) {
        for (; x + 4 <= width; x += 4, wide += 3) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            _mm_storeu_si128(wide, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 0, 0)));
            _mm_storeu_si128(wide + 1, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 1, 1)));
            _mm_storeu_si128(wide + 2, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 2)));
        }
    } else if (scale == 4) {
        for (; x + 4 <= width; x += 4, wide += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            _mm_storeu_si128(wide, _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 0, 0, 0)));
            _mm_storeu_si128(wide + 1, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 1, 1, 1)));
            _mm_storeu_si128(wide + 2, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 2, 2)));
            _mm_storeu_si128(wide + 3, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3)));
        }
    }
#endif
    for (; x < width; ++x) {
        for (int i = 0; i < scale; ++i) out[x * scale + i] = in[x];
    }
}

}  // namespace

void enlarge(const uint32_t* source, int width, int height, int scale, uint8_t* dest, ptrdiff_t stride) {
    const size_t row_bytes = static_cast<size_t>(width) * static_cast<size_t>(scale) * sizeof(uint32_t);
    for (int y = 0; y < height; ++y) {
        uint8_t* first = dest + static_cast<ptrdiff_t>(y) * scale * stride;
        widen_row(source + static_cast<ptrdiff_t>(y) * width, width, scale, reinterpret_cast<uint32_t*>(first));
        for (int i = 1; i < scale; ++i) std::memcpy(first + i * stride, first, row_bytes);
    }
}

}  // namespace frame_scaler
