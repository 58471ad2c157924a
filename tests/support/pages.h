// Test support: heap pages filled from a seeded generator, and the plain
// per-channel formulas that the effects must agree with.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "core/frame_store.h"

namespace test_support {

using PageBuffer = std::vector<Pixel>;

inline PageBuffer random_page(uint32_t seed) {
    std::mt19937 rng(seed);
    PageBuffer page(kPagePixels);
    for (Pixel& p : page) p = static_cast<Pixel>(rng());
    return page;
}

inline PageBuffer uniform_page(Pixel value) { return PageBuffer(kPagePixels, value); }

inline uint32_t channel(Pixel p, int index) { return (p >> (8 * index)) & 0xFFu; }

// Per channel, the top byte included: floor(weighted sum / 256), no rounding.
inline Pixel reference_blend(Pixel p00, Pixel p01, Pixel p10, Pixel p11, uint32_t fx, uint32_t fy) {
    Pixel out = 0;
    for (int ch = 0; ch < 4; ++ch) {
        const uint32_t sum = channel(p00, ch) * (16 - fx) * (16 - fy) + channel(p01, ch) * fx * (16 - fy) +
                             channel(p10, ch) * (16 - fx) * fy + channel(p11, ch) * fx * fy;
        out |= (sum / 256) << (8 * ch);
    }
    return out;
}

// FNV-1a over the pixels, for compact golden values.
inline uint64_t hash_pixels(const Pixel* pixels, size_t count) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < count; ++i) {
        for (int b = 0; b < 4; ++b) {
            h ^= (pixels[i] >> (8 * b)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

}  // namespace test_support
