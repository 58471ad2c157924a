// Radial zoom feedback: four quadrant passes outward from the centre, in place;
// the plain passes.
// The order is part of the result: a pixel reads neighbours already rewritten
// earlier in the same call.
#include "core/fixed_point.h"
#include "effects/effects_paths.h"

namespace effects {
namespace plain {
namespace {

// One quadrant: rows from first_row stepping row_dir, columns from first_col
// stepping col_dir, 240 rows by 320 columns. Coordinates step by +-K and
// wrap as 32-bit words.
void quadrant(Pixel* page, int32_t first_row, int32_t row_dir, uint32_t v, uint32_t v_step, int32_t first_col,
              int32_t col_dir, uint32_t u_start, uint32_t u_step) {
    for (int32_t r = 0, j = first_row; r < kPageHeight / 2; ++r, j += row_dir, v += v_step) {
        uint32_t u = u_start;
        for (int32_t c = 0, i = first_col; c < kPageWidth / 2; ++c, i += col_dir, u += u_step) {
            // Bounds of 639 and 479 columns and rows keep the right and lower
            // neighbours inside the page for any K; for 0 <= K < 65536 the
            // integer parts stay at most 638 and 478, so the test never fails.
            if (u >= 0x27F0000u || v >= 0x1DF0000u) continue;
            const uint32_t n = (v >> 16) * kPageWidth + (u >> 16);
            page[j * kPageWidth + i] = fixed_point::blend4(page[n], page[n + 1], page[n + kPageWidth],
                                                           page[n + kPageWidth + 1], (u >> 12) & 15u, (v >> 12) & 15u);
        }
    }
}

}  // namespace

void radial_zoom(Pixel* page, int32_t step) {
    const uint32_t k = static_cast<uint32_t>(step);
    const uint32_t minus_k = 0u - k;
    quadrant(page, 240, +1, 0xF00000u, k, 320, +1, 0x1400000u, k);
    quadrant(page, 239, -1, 0xF00000u - k, minus_k, 320, +1, 0x1400000u, k);
    quadrant(page, 240, +1, 0xF00000u, k, 319, -1, 0x13F0000u, minus_k);
    quadrant(page, 239, -1, 0xF00000u - k, minus_k, 319, -1, 0x13F0000u, minus_k);
}

}  // namespace plain
}  // namespace effects
