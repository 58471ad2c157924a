// One pixel in each display format: the plain loops are these over a row, and
// the SIMD layers finish a row's last few pixels with them, so every path
// writes its tail with the reference's own arithmetic and no layer calls
// another. Internal linkage: each file compiles its own copy for its
// instruction set.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/frame_store.h"

namespace convert {
namespace {

inline void store16(uint8_t* destination, uint32_t word) {
    destination[0] = static_cast<uint8_t>(word);
    destination[1] = static_cast<uint8_t>(word >> 8);
}

inline void store32(uint8_t* destination, uint32_t word) { std::memcpy(destination, &word, 4); }

inline void rgb32_pixel(Pixel p, uint8_t* destination) { store32(destination, p); }

// The unused top byte is written opaque: the one display that reads it, the
// browser's canvas, takes it as alpha, and the others ignore it.
inline void bgr32_pixel(Pixel p, uint8_t* destination) {
    store32(destination, 0xFF000000u | ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16));
}

inline void rgb24_pixel(Pixel p, uint8_t* destination) {
    destination[0] = static_cast<uint8_t>(p);
    destination[1] = static_cast<uint8_t>(p >> 8);
    destination[2] = static_cast<uint8_t>(p >> 16);
}

inline void bgr24_pixel(Pixel p, uint8_t* destination) {
    destination[0] = static_cast<uint8_t>(p >> 16);
    destination[1] = static_cast<uint8_t>(p >> 8);
    destination[2] = static_cast<uint8_t>(p);
}

// 565: red bits 19-23 -> 11-15, green 10-15 -> 5-10, blue 3-7 -> 0-4.
inline void rgb565_pixel(Pixel p, uint8_t* destination) {
    store16(destination, ((p >> 8) & 0xF800u) | ((p >> 5) & 0x07E0u) | ((p >> 3) & 0x001Fu));
}

inline void bgr565_pixel(Pixel p, uint8_t* destination) {
    store16(destination, ((p >> 19) & 0x001Fu) | ((p >> 5) & 0x07E0u) | ((p << 8) & 0xF800u));
}

// 555: red bits 19-23 -> 10-14, green 11-15 -> 5-9, blue 3-7 -> 0-4; bit 15 is 0.
inline void rgb555_pixel(Pixel p, uint8_t* destination) {
    store16(destination, ((p >> 9) & 0x7C00u) | ((p >> 6) & 0x03E0u) | ((p >> 3) & 0x001Fu));
}

inline void bgr555_pixel(Pixel p, uint8_t* destination) {
    store16(destination, ((p >> 19) & 0x001Fu) | ((p >> 6) & 0x03E0u) | ((p << 7) & 0x7C00u));
}

// count pixels from source, bytes apart in destination.
template <void (*kPixel)(Pixel, uint8_t*), uint32_t kBytes>
inline void each_pixel(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) kPixel(source[i], destination + kBytes * i);
}

}  // namespace
}  // namespace convert
