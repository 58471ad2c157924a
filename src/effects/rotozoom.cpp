// Rotozoomer, the plain loop: incremental 16.16 stepping from the per-call
// steps (fixed_point::rotozoom_steps).
#include "core/fixed_point.h"
#include "effects/effects_paths.h"

namespace effects {
namespace plain {

void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    // Coordinates wrap as 32-bit words; unsigned arithmetic keeps that defined.
    const uint32_t ukc = static_cast<uint32_t>(kc);
    const uint32_t uks = static_cast<uint32_t>(ks);
    uint32_t row_a = 0u - 240u * ukc;
    uint32_t row_b = 240u * uks;
    Pixel* out = destination;
    for (int32_t j = 0; j < kPageHeight; ++j) {
        uint32_t u = row_b - 320u * ukc + 0x1400000u;
        uint32_t v = row_a - 320u * uks + 0xF00000u;
        for (int32_t i = 0; i < kPageWidth; ++i, ++out, u += ukc, v += uks) {
            // Unsigned compare = 0 <= u < bound on the signed value.
            if (u >= 0x27F0000u || v >= 0x1DF0000u) continue;
            const uint32_t n = (v >> 16) * kPageWidth + (u >> 16);
            *out = fixed_point::blend4(source[n], source[n + 1], source[n + kPageWidth], source[n + kPageWidth + 1],
                                       (u >> 12) & 15u, (v >> 12) & 15u);
        }
        row_a += ukc;
        row_b -= uks;
    }
}

}  // namespace plain
}  // namespace effects
