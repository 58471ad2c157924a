// The converters' SSE2 layer: the shared loops at 4 pixels per register, the
// reference's own pixel arithmetic for the rest of a row.
#include "display/converters_kernels.h"
#include "display/converters_paths.h"
#include "display/converters_pixel.h"

namespace convert::sse2 {

#define ORVO_CONVERTER(name, loop, word, pixel, bytes)                                     \
    void name(const Pixel* source, uint8_t* destination, uint32_t count) {                 \
        const uint32_t done = loop<__m128i, word<__m128i>>(source, destination, count);    \
        each_pixel<pixel, bytes>(source + done, destination + (bytes)*done, count - done); \
    }
ORVO_CONVERTER(RGB32, copy32, same, rgb32_pixel, 4)
ORVO_CONVERTER(BGR32, convert32, swap_red_blue, bgr32_pixel, 4)
ORVO_CONVERTER(RGB24, convert24, same, rgb24_pixel, 3)
ORVO_CONVERTER(BGR24, convert24, swap_red_blue, bgr24_pixel, 3)
ORVO_CONVERTER(RGB565, convert16, rgb565, rgb565_pixel, 2)
ORVO_CONVERTER(BGR565, convert16, bgr565, bgr565_pixel, 2)
ORVO_CONVERTER(RGB555, convert16, rgb555, rgb555_pixel, 2)
ORVO_CONVERTER(BGR555, convert16, bgr555, bgr555_pixel, 2)
#undef ORVO_CONVERTER

}  // namespace convert::sse2
