// The shadow grid's block words and noise bits, shared by its plain and fast
// paths (internal linkage: the AVX2 file compiles its own copy).
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace effects {
namespace {

constexpr int kBlockSize = 32;
constexpr int kBlockRows = kPageHeight / kBlockSize;    // 15
constexpr int kBlockColumns = kPageWidth / kBlockSize;  // 20

// 255 - (a * b >> 8): 1..255, from two blue bytes.
inline uint32_t shade(uint32_t a, uint32_t b) { return 255u - ((a * b) >> 8); }

// Next block bit: the seed read as signed, divided by 65,536 truncating toward
// zero, lowest bit. For a negative seed with non-zero low 16 bits this is the
// inverse of bit 16.
inline uint32_t next_block_bit(uint32_t& seed) {
    seed = seed * 1103515245u + 12345u;
    const int32_t q = static_cast<int32_t>(seed) / 65536;
    return static_cast<uint32_t>(q) & 1u;
}

// level + 256 + 65536 * bit for each block in block order, advancing seed 300
// times. The level comes from the shade at the block's sample pixel
// (32j + 16, 32i + 16), which is what the shade map holds there when the grid
// pass reads it.
inline void block_words(const Pixel* source, int32_t light_column, int32_t light_row, uint32_t& seed,
                        uint32_t words[kBlockRows][kBlockColumns]) {
    for (int i = 0; i < kBlockRows; ++i) {
        const uint32_t a = source[(i * kBlockSize + 16) * kPageWidth + light_column] & 0xFFu;
        for (int j = 0; j < kBlockColumns; ++j) {
            const uint32_t b = source[light_row * kPageWidth + j * kBlockSize + 16] & 0xFFu;
            words[i][j] = shade(a, b) / 110u + 256u + 65536u * next_block_bit(seed);
        }
    }
}

}  // namespace
}  // namespace effects
