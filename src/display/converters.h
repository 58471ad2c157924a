// Pixel format converters: one row routine per display format and path,
// chosen once from a table by bit count and colour masks. The plain loops in
// convert::plain are the reference; each SIMD layer (converters_paths.h)
// writes the same bytes.
#pragma once

#include <cstdint>

#include "core/frame_store.h"
#include "simd/simd.h"

// Writes count pixels from source into destination in one display format,
// packed with no gap (count * bytes-per-pixel bytes), pixel i from source i.
using PixelConverter = void (*)(const Pixel* source, uint8_t* destination, uint32_t count);

namespace convert {

namespace plain {
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
}  // namespace plain

struct Format {
    const char* name;  // "RGB32" ... "BGR555"
    uint32_t bit_count;
    uint32_t red_mask;
    uint32_t green_mask;
    uint32_t blue_mask;
    uint32_t bytes_per_pixel;
    // The row routine on each path, indexed by simd::Path. A layer with no
    // version of its own names the one it borrows (avx512 runs AVX2's).
    PixelConverter by_path[simd::kPathCount];
};

// The eight formats, in table order.
inline constexpr int kFormatCount = 8;
const Format* formats();

// The format's routine on the active path.
PixelConverter converter(const Format& format);

// The format whose bit count and three masks all match exactly, or null.
// Any other field of a display format (an alpha mask) plays no part.
const Format* select_format(uint32_t bit_count, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

}  // namespace convert
