// Pixel format converters: one row routine per display format, chosen once
// from a table by bit count and colour masks. Each routine runs on the path
// that simd::active_path() names (effects/simd.h): the plain loops in
// convert::plain or a SIMD layer with the same output bytes.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

// Writes count pixels from source into destination in one display format,
// packed with no gap (count * bytes-per-pixel bytes), pixel i from source i.
using PixelConverter = void (*)(const Pixel* source, uint8_t* destination, uint32_t count);

namespace convert {

// Destination word = source word, all 32 bits.
void RGB32(const Pixel* source, uint8_t* destination, uint32_t count);
// Red in bits 0-7, green 8-15, blue 16-23, top byte 0.
void BGR32(const Pixel* source, uint8_t* destination, uint32_t count);
// Bytes blue, green, red.
void RGB24(const Pixel* source, uint8_t* destination, uint32_t count);
// Bytes red, green, blue.
void BGR24(const Pixel* source, uint8_t* destination, uint32_t count);
// 16-bit words, low byte first; channels truncated to their top bits.
void RGB565(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR565(const Pixel* source, uint8_t* destination, uint32_t count);
void RGB555(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR555(const Pixel* source, uint8_t* destination, uint32_t count);

namespace plain {
void RGB32(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR32(const Pixel* source, uint8_t* destination, uint32_t count);
void RGB24(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR24(const Pixel* source, uint8_t* destination, uint32_t count);
void RGB565(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR565(const Pixel* source, uint8_t* destination, uint32_t count);
void RGB555(const Pixel* source, uint8_t* destination, uint32_t count);
void BGR555(const Pixel* source, uint8_t* destination, uint32_t count);
}  // namespace plain

struct Format {
    const char* name;  // the converter's name, "RGB32" ... "BGR555"
    uint32_t bit_count;
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
    uint32_t bytes_per_pixel;
    PixelConverter converter;
};

// The eight formats, in table order.
inline constexpr int kFormatCount = 8;
const Format* formats();

// The converter whose bit count and three masks all match exactly, or null.
// Any other field of a display format (an alpha mask) plays no part.
PixelConverter select_converter(uint32_t bit_count, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

}  // namespace convert
