// Pixel format converters: straight loops of shifts and masks, no tables; the
// format table with its column per path.
#include "display/converters.h"

#include <cstring>

#include "display/converters_paths.h"

namespace convert {

namespace plain {
namespace {

inline void store16(uint8_t* destination, uint32_t word) {
    destination[0] = static_cast<uint8_t>(word);
    destination[1] = static_cast<uint8_t>(word >> 8);
}

inline void store32(uint8_t* destination, uint32_t word) { std::memcpy(destination, &word, 4); }

}  // namespace

void RGB32(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) store32(destination + 4 * i, source[i]);
}

void BGR32(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        store32(destination + 4 * i, ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16));
    }
}

void RGB24(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, destination += 3) {
        const uint32_t p = source[i];
        destination[0] = static_cast<uint8_t>(p);
        destination[1] = static_cast<uint8_t>(p >> 8);
        destination[2] = static_cast<uint8_t>(p >> 16);
    }
}

void BGR24(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i, destination += 3) {
        const uint32_t p = source[i];
        destination[0] = static_cast<uint8_t>(p >> 16);
        destination[1] = static_cast<uint8_t>(p >> 8);
        destination[2] = static_cast<uint8_t>(p);
    }
}

// 565: red bits 19-23 -> 11-15, green 10-15 -> 5-10, blue 3-7 -> 0-4.
void RGB565(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        store16(destination + 2 * i, ((p >> 8) & 0xF800u) | ((p >> 5) & 0x07E0u) | ((p >> 3) & 0x001Fu));
    }
}

void BGR565(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        store16(destination + 2 * i, ((p >> 19) & 0x001Fu) | ((p >> 5) & 0x07E0u) | ((p << 8) & 0xF800u));
    }
}

// 555: red bits 19-23 -> 10-14, green 11-15 -> 5-9, blue 3-7 -> 0-4; bit 15 is 0.
void RGB555(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        store16(destination + 2 * i, ((p >> 9) & 0x7C00u) | ((p >> 6) & 0x03E0u) | ((p >> 3) & 0x001Fu));
    }
}

void BGR555(const Pixel* source, uint8_t* destination, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = source[i];
        store16(destination + 2 * i, ((p >> 19) & 0x001Fu) | ((p >> 6) & 0x03E0u) | ((p << 7) & 0x7C00u));
    }
}

}  // namespace plain

namespace {

// Where a path has no layer in this build, its column names plain.
#if defined(ORVO_X86)
#define ORVO_PATHS(name) \
    { plain::name, sse2::name, avx2::name, avx2::name }
#else
#define ORVO_PATHS(name) \
    { plain::name, plain::name, plain::name, plain::name }
#endif
static_assert(simd::kPathCount == 4, "one column per path: plain, sse2, avx2, avx512");

constexpr Format kFormats[kFormatCount] = {
    // 32 bits per pixel
    {"RGB32", 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 4, ORVO_PATHS(RGB32)},
    {"BGR32", 32, 0x000000FFu, 0x0000FF00u, 0x00FF0000u, 4, ORVO_PATHS(BGR32)},
    // 24 bits per pixel
    {"RGB24", 24, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 3, ORVO_PATHS(RGB24)},
    {"BGR24", 24, 0x000000FFu, 0x0000FF00u, 0x00FF0000u, 3, ORVO_PATHS(BGR24)},
    // 16 bits per pixel
    {"RGB565", 16, 0xF800u, 0x07E0u, 0x001Fu, 2, ORVO_PATHS(RGB565)},
    {"BGR565", 16, 0x001Fu, 0x07E0u, 0xF800u, 2, ORVO_PATHS(BGR565)},
    {"RGB555", 16, 0x7C00u, 0x03E0u, 0x001Fu, 2, ORVO_PATHS(RGB555)},
    {"BGR555", 16, 0x001Fu, 0x03E0u, 0x7C00u, 2, ORVO_PATHS(BGR555)},
};
#undef ORVO_PATHS

}  // namespace

const Format* formats() { return kFormats; }

PixelConverter converter(const Format& format) { return format.by_path[static_cast<int>(simd::active_path())]; }

const Format* select_format(uint32_t bit_count, uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask) {
    for (const Format& f : kFormats) {
        if (f.bit_count == bit_count && f.red_mask == red_mask && f.green_mask == green_mask &&
            f.blue_mask == blue_mask) {
            return &f;
        }
    }
    return nullptr;
}

}  // namespace convert
