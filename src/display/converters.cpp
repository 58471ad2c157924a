// Pixel format converters: the plain loops (one pixel at a time,
// converters_pixel.h) and the format table with its column per path.
#include "display/converters.h"

#include "display/converters_paths.h"
#include "display/converters_pixel.h"

namespace convert {

namespace plain {

void RGB32(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<rgb32_pixel, 4>(source, destination, count);
}
void BGR32(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<bgr32_pixel, 4>(source, destination, count);
}
void RGB24(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<rgb24_pixel, 3>(source, destination, count);
}
void BGR24(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<bgr24_pixel, 3>(source, destination, count);
}
void RGB565(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<rgb565_pixel, 2>(source, destination, count);
}
void BGR565(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<bgr565_pixel, 2>(source, destination, count);
}
void RGB555(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<rgb555_pixel, 2>(source, destination, count);
}
void BGR555(const Pixel* source, uint8_t* destination, uint32_t count) {
    each_pixel<bgr555_pixel, 2>(source, destination, count);
}

}  // namespace plain

namespace {

// Where a path has no layer in this build, its column names plain.
// The browser build's simd128 column is the SSE2 layer compiled for
// WebAssembly's SIMD, the ARM64 build's neon column the same layer compiled
// through SIMDe.
#if defined(ORVO_X86)
#define ORVO_PATHS(name) \
    { plain::name, sse2::name, avx2::name, avx2::name, plain::name, plain::name }
#elif defined(ORVO_WASM_SIMD128)
#define ORVO_PATHS(name) \
    { plain::name, plain::name, plain::name, plain::name, sse2::name, plain::name }
#elif defined(ORVO_NEON)
#define ORVO_PATHS(name) \
    { plain::name, plain::name, plain::name, plain::name, plain::name, sse2::name }
#else
#define ORVO_PATHS(name) \
    { plain::name, plain::name, plain::name, plain::name, plain::name, plain::name }
#endif
static_assert(simd::kPathCount == 6, "one column per path: plain, sse2, avx2, avx512, simd128, neon");

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
