// The page resampler: a 640 x 480 slot is copied, any other size stretched or
// shrunk to the page on 16.16 source positions with the two-lane blend.
#include <cstring>

#include "core/fixed_point.h"
#include "image/image.h"

namespace image {

void resample_slot_into_page(int slot, int page) {
    const ImageSlot& s = frame_store::slot(slot);
    Pixel* out = frame_store::page(page);
    const int32_t w = s.width;
    const int32_t h = s.height;
    if (s.pixels == nullptr || w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide) {
        fail("can't resample slot %d: it holds no picture of 1 to %d pixels a side\n", slot, kMaxPictureSide);
    }

    if (w == kPageWidth && h == kPageHeight) {
        std::memcpy(out, s.pixels, sizeof(Pixel) * kPagePixels);
        return;
    }

    // Steps from w - 1 and h - 1, truncated: sx stays at most w - 2 and sy at
    // most h - 2, so the right and lower neighbours lie inside the picture.
    // With a side of 1 the step is 0 and the weight on the missing neighbour
    // is 0; reading the same pixel again instead gives the same result.
    const int32_t column_step = (w * fixed_point::kOne - fixed_point::kOne) / kPageWidth;
    const int32_t row_step = (h * fixed_point::kOne - fixed_point::kOne) / kPageHeight;
    const int32_t right = w > 1 ? 1 : 0;
    const int32_t down = h > 1 ? w : 0;

    int32_t v = 0;
    for (int32_t y = 0; y < kPageHeight; ++y) {
        const Pixel* top = s.pixels + static_cast<size_t>(fixed_point::whole(v)) * w;
        const Pixel* bottom = top + down;
        const uint32_t fy = fixed_point::weight4(v);
        int32_t u = 0;
        for (int32_t x = 0; x < kPageWidth; ++x) {
            const int32_t sx = fixed_point::whole(u);
            const uint32_t fx = fixed_point::weight4(u);
            *out++ = fixed_point::blend4(top[sx], top[sx + right], bottom[sx], bottom[sx + right], fx, fy);
            u += column_step;
        }
        v += row_step;
    }
}

}  // namespace image
