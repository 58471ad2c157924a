// Alpha overlay: source over destination by the source's top byte; the plain
// loop.
#include "effects/effects_paths.h"

namespace effects {
namespace plain {

void alpha_overlay(const Pixel* source, Pixel* destination) {
    for (int32_t n = 0; n < kPagePixels; ++n) {
        const uint32_t s = source[n];
        const uint32_t d = destination[n];
        const uint32_t a = s >> 24;
        const uint32_t b = 256u - a;
        // Red in bits 16-31, blue in 0-15: each at most 255 * 256, no carry.
        const uint32_t rb = (s & 0x00FF00FFu) * a + (d & 0x00FF00FFu) * b;
        const uint32_t g = (s & 0x0000FF00u) * a + (d & 0x0000FF00u) * b;
        destination[n] = ((rb & 0xFF00FFFFu) | (g & 0x00FF0000u)) >> 8;
    }
}

}  // namespace plain
}  // namespace effects
