// Shadow-grid composite: shade map, block grid with noise bits, composition;
// the plain three passes.
#include "effects/effects_paths.h"
#include "effects/shadow_grid_blocks.h"

namespace effects {

// Three passes over the destination, each as the picture is defined.
void plain::shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row,
                        uint32_t& seed) {
    const Pixel* light_row_pixels = source + light_row * kPageWidth;

    // Pass 1: grey shade map.
    for (int32_t y = 0; y < kPageHeight; ++y) {
        const uint32_t a = source[y * kPageWidth + light_column] & 0xFFu;
        Pixel* out = destination + y * kPageWidth;
        for (int32_t x = 0; x < kPageWidth; ++x) {
            out[x] = shade(a, light_row_pixels[x] & 0xFFu) * 0x10101u;
        }
    }

    // Pass 2: each block reads its sample pixel's shade (still pass 1's, as no
    // earlier block covers it), then fills itself with level + 256 + 65536 * bit.
    for (int i = 0; i < kBlockRows; ++i) {
        for (int j = 0; j < kBlockColumns; ++j) {
            Pixel* block = destination + i * kBlockSize * kPageWidth + j * kBlockSize;
            const int32_t s = static_cast<int32_t>(block[16 * kPageWidth + 16]) >> 16;
            const uint32_t level = static_cast<uint32_t>(s / 110);
            const uint32_t word = level + 256u + 65536u * next_block_bit(seed);
            for (int row = 0; row < kBlockSize; ++row) {
                for (int col = 0; col < kBlockSize; ++col) block[row * kPageWidth + col] = word;
            }
        }
    }

    // Pass 3: wrap-around products folded into grey or pure red.
    for (int32_t y = 0; y < kPageHeight; ++y) {
        const uint32_t a = source[y * kPageWidth + light_column] & 0xFFu;
        const Pixel* in = source + y * kPageWidth;
        Pixel* out = destination + y * kPageWidth;
        for (int32_t x = 0; x < kPageWidth; ++x) {
            const uint32_t v = shade(a, light_row_pixels[x] & 0xFFu);
            const uint32_t u = (v * in[x]) >> 8;
            const uint32_t w = u * out[x];
            out[x] = static_cast<int32_t>(w) >= 0x8000 ? (w & 0xFFu) * 0x10101u : w & 0xFF0000u;
        }
    }
}

}  // namespace effects
