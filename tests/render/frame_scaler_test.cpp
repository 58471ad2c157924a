// The enlargement behind --scale: every source pixel an exact N x N block, at
// every scale, for widths that leave the wide copy a tail, into rows with
// padding beyond the picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tools/render/frame_scaler.h"

namespace {

TEST(FrameScaler, EveryPixelBecomesAnExactBlock) {
    std::mt19937 random(7);
    for (int scale = 1; scale <= 4; ++scale) {
        for (int width : {1, 3, 4, 5, 8, 13, 640}) {
            const int height = 3;
            std::vector<uint32_t> source(size_t(width) * height);
            for (uint32_t& pixel : source) pixel = random();
            const ptrdiff_t stride = (width * scale + 5) * 4;  // padding that must stay untouched
            std::vector<uint8_t> dest(size_t(stride) * height * scale, 0xAB);
            frame_scaler::enlarge(source.data(), width, height, scale, dest.data(), stride);
            for (int y = 0; y < height * scale; ++y) {
                const uint8_t* row = dest.data() + y * stride;
                for (int x = 0; x < width * scale; ++x) {
                    uint32_t got;
                    std::memcpy(&got, row + x * 4, 4);
                    ASSERT_EQ(got, source[size_t(y / scale) * width + x / scale])
                        << "scale " << scale << ", width " << width << ", at " << x << ", " << y;
                }
                for (ptrdiff_t i = width * scale * 4; i < stride; ++i) ASSERT_EQ(row[i], 0xAB) << "padding";
            }
        }
    }
}

}  // namespace
