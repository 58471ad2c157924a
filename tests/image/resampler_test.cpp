// The page resampler against a plain per-channel reference that computes
// each sample position from scratch: steps, reach, copy path, sides of 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "image/image.h"
#include "support/pages.h"

namespace {

constexpr int kSlot = 20;

// Puts pixels into the test slot without handing it ownership.
const ImageSlot& use_slot(int32_t w, int32_t h, std::vector<Pixel>& pixels) {
    ImageSlot& s = frame_store::slot(kSlot);
    s = ImageSlot{w, h, pixels.data()};
    return s;
}

std::vector<Pixel> random_pixels(int32_t w, int32_t h, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Pixel> pixels(static_cast<size_t>(w) * h);
    for (Pixel& p : pixels) p = static_cast<Pixel>(rng());
    return pixels;
}

// Destination (x, y) samples u = x * floor((w - 1) * 65536 / 640) and
// v = y * floor((h - 1) * 65536 / 480); a missing neighbour (side of 1) is
// the pixel itself.
Pixel reference_sample(const ImageSlot& s, int x, int y) {
    const int64_t u = x * ((int64_t{s.width} - 1) * 65536 / 640);
    const int64_t v = y * ((int64_t{s.height} - 1) * 65536 / 480);
    const int sx = static_cast<int>(u >> 16), sy = static_cast<int>(v >> 16);
    const int sx1 = std::min(sx + 1, s.width - 1), sy1 = std::min(sy + 1, s.height - 1);
    const auto at = [&](int cx, int cy) { return s.pixels[static_cast<size_t>(cy) * s.width + cx]; };
    return test_support::reference_blend(at(sx, sy), at(sx1, sy), at(sx, sy1), at(sx1, sy1),
                                         static_cast<uint32_t>(u >> 12) & 15, static_cast<uint32_t>(v >> 12) & 15);
}

void expect_matches_reference(const ImageSlot& s, const Pixel* page) {
    int mismatches = 0;
    for (int y = 0; y < kPageHeight && mismatches < 5; ++y) {
        for (int x = 0; x < kPageWidth && mismatches < 5; ++x) {
            const Pixel expected = reference_sample(s, x, y);
            if (page[y * kPageWidth + x] != expected) {
                ADD_FAILURE() << s.width << "x" << s.height << " at (" << x << ", " << y << "): " << std::hex
                              << page[y * kPageWidth + x] << " != " << expected;
                ++mismatches;
            }
        }
    }
}

TEST(Resampler, CopiesA640x480SlotBitForBitIntoItsPageOnly) {
    std::vector<Pixel> pixels = random_pixels(640, 480, 1);
    use_slot(640, 480, pixels);
    std::fill_n(frame_store::page(1), kPagePixels, 0x11111111u);
    std::fill_n(frame_store::page(3), kPagePixels, 0x33333333u);
    image::resample_slot_into_page(kSlot, 2);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), frame_store::page(2)));
    EXPECT_EQ(frame_store::page(1)[kPagePixels - 1], 0x11111111u);
    EXPECT_EQ(frame_store::page(3)[0], 0x33333333u);
}

TEST(Resampler, EverySizeMatchesThePerChannelReference) {
    const int32_t sizes[][2] = {{320, 240}, {2, 2},     {3, 1000},    {1000, 700}, {640, 481},
                                {481, 640}, {641, 481}, {2000, 1500}, {32767, 2}};
    uint32_t seed = 100;
    for (const auto& size : sizes) {
        std::vector<Pixel> pixels = random_pixels(size[0], size[1], ++seed);
        const ImageSlot& s = use_slot(size[0], size[1], pixels);
        image::resample_slot_into_page(kSlot, 3);
        expect_matches_reference(s, frame_store::page(3));
    }
}

TEST(Resampler, KnownSamplePositions) {
    // 320 x 240: column step 32,665, so column 639 samples u = 20,872,935:
    // source column 318 with fx = 7 (the row step, 32,631, puts row 0 at 0).
    std::vector<Pixel> pixels = random_pixels(320, 240, 7);
    use_slot(320, 240, pixels);
    image::resample_slot_into_page(kSlot, 1);
    EXPECT_EQ(frame_store::page(1)[639],
              test_support::reference_blend(pixels[318], pixels[319], pixels[320 + 318], pixels[320 + 319], 7, 0));

    // 641 x 481: both steps 65,536 and every weight 0, so the page is the
    // slot's top-left 640 x 480.
    pixels = random_pixels(641, 481, 8);
    use_slot(641, 481, pixels);
    image::resample_slot_into_page(kSlot, 1);
    for (int y = 0; y < kPageHeight; ++y) {
        ASSERT_TRUE(
            std::equal(frame_store::page(1) + y * 640, frame_store::page(1) + y * 640 + 640, pixels.begin() + y * 641))
            << "row " << y;
    }

    // 640 x 481 is not copied: column step 65,433 blends neighbours.
    pixels = random_pixels(640, 481, 9);
    use_slot(640, 481, pixels);
    image::resample_slot_into_page(kSlot, 1);
    EXPECT_EQ(frame_store::page(1)[0], pixels[0]);
    EXPECT_NE(frame_store::page(1)[639], pixels[639]);

    // 2 x 2 of 0 and 0xFFFFFFFF: the last column is 15/16 of the way across,
    // 239 in every channel, the top byte included.
    std::vector<Pixel> edge = {0x00000000u, 0xFFFFFFFFu, 0x00000000u, 0xFFFFFFFFu};
    use_slot(2, 2, edge);
    image::resample_slot_into_page(kSlot, 1);
    EXPECT_EQ(frame_store::page(1)[639], 0xEFEFEFEFu);
}

TEST(Resampler, UniformSlotGivesThatValueEverywhere) {
    std::vector<Pixel> pixels(333 * 177, 0x80C0FFEEu);
    use_slot(333, 177, pixels);
    image::resample_slot_into_page(kSlot, 1);
    EXPECT_TRUE(std::all_of(frame_store::page(1), frame_store::page(1) + kPagePixels,
                            [](Pixel p) { return p == 0x80C0FFEEu; }));
}

// A side of 1 reads no neighbour beyond the picture (the sanitizer build would
// see it) and gives what the same picture with its row or column doubled does.
TEST(Resampler, SideOfOneEqualsTheDoubledPicture) {
    std::vector<Pixel> row = random_pixels(300, 1, 11);
    std::vector<Pixel> doubled(row);
    doubled.insert(doubled.end(), row.begin(), row.end());
    use_slot(300, 2, doubled);
    image::resample_slot_into_page(kSlot, 1);
    use_slot(300, 1, row);
    image::resample_slot_into_page(kSlot, 2);
    EXPECT_TRUE(std::equal(frame_store::page(1), frame_store::page(1) + kPagePixels, frame_store::page(2)));

    std::vector<Pixel> column = random_pixels(1, 200, 12);
    std::vector<Pixel> widened;
    for (Pixel p : column) widened.insert(widened.end(), {p, p});
    use_slot(2, 200, widened);
    image::resample_slot_into_page(kSlot, 1);
    use_slot(1, 200, column);
    image::resample_slot_into_page(kSlot, 2);
    EXPECT_TRUE(std::equal(frame_store::page(1), frame_store::page(1) + kPagePixels, frame_store::page(2)));

    std::vector<Pixel> one = {0x12345678u};
    use_slot(1, 1, one);
    image::resample_slot_into_page(kSlot, 1);
    EXPECT_TRUE(std::all_of(frame_store::page(1), frame_store::page(1) + kPagePixels,
                            [](Pixel p) { return p == 0x12345678u; }));
}

TEST(ResamplerDeathTest, SlotWithNoPictureIsFatal) {
    frame_store::slot(kSlot) = ImageSlot{640, 480, nullptr};
    EXPECT_EXIT(image::resample_slot_into_page(kSlot, 1), testing::ExitedWithCode(1),
                "^can't resample slot 20: it holds no picture of 1 to 32767 pixels a side\n$");
}

}  // namespace
