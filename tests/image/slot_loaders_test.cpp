// The slot loaders: packing order, orientation, alpha from the mask, and the
// pictures the loaders adapt (grey as colour, colour as mask).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/image.h"
#include "support/test_pictures.h"

namespace {

using test_pictures::TempDir;

uint32_t channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

void release(int slot) {
    ImageSlot& s = frame_store::slot(slot);
    std::free(s.pixels);
    s.pixels = nullptr;
}

// A 3 x 2 picture: red, green, blue over white, black, mid grey.
const std::vector<uint8_t> kThreeByTwo = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128};

TEST(SlotLoaders, ColourPicturePacksTopDownWithZeroTopByte) {
    TempDir dir;
    const std::string path = dir / "c.jpg";
    test_pictures::write_file(path, test_pictures::encode_rgb(3, 2, kThreeByTwo, 100));

    int32_t w = 0, h = 0;
    int components = 0;
    uint8_t* decoded = image::decode_jpeg_file(path.c_str(), image::kFileSamples, &w, &h, &components);
    image::load_colour_image(path.c_str(), 7);
    const ImageSlot& s = frame_store::slot(7);
    ASSERT_EQ(s.width, 3);
    ASSERT_EQ(s.height, 2);
    // Exactly the decoder's samples, picture row r in slot row r.
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const uint8_t* rgb = decoded + ((1 - r) * 3 + c) * 3;
            EXPECT_EQ(s.pixels[r * 3 + c], Pixel{rgb[0]} << 16 | Pixel{rgb[1]} << 8 | rgb[2]) << r << "," << c;
        }
    }
    // Element 0 is the top-left (red), element 5 the bottom-right (grey).
    EXPECT_GT(channel(s.pixels[0], 16), 200u);
    EXPECT_LT(channel(s.pixels[0], 8), 50u);
    EXPECT_NEAR(channel(s.pixels[5], 0), 128, 12);
    std::free(decoded);
    release(7);
}

TEST(SlotLoaders, MaskGreyLevelsBecomeAlphaAndKeepTheColour) {
    TempDir dir;
    const std::vector<uint8_t> levels = {0, 255, 128, 64, 200, 30};  // top row first
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(3, 2, kThreeByTwo, 100));
    test_pictures::write_file(dir / "m.jpg", test_pictures::encode_grey(3, 2, levels, 100));

    image::load_colour_image((dir / "c.jpg").c_str(), 8);
    image::load_colour_image_with_alpha_mask((dir / "c.jpg").c_str(), (dir / "m.jpg").c_str(), 9);
    const ImageSlot& plain = frame_store::slot(8);
    const ImageSlot& masked = frame_store::slot(9);
    ASSERT_EQ(masked.width, 3);
    ASSERT_EQ(masked.height, 2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(masked.pixels[i] & 0x00FFFFFFu, plain.pixels[i]) << i;
        EXPECT_NEAR(static_cast<int>(masked.pixels[i] >> 24), levels[i], 3) << i;
    }
    release(8);
    release(9);
}

TEST(SlotLoaders, ReloadingASlotTakesTheNewSize) {
    TempDir dir;
    test_pictures::write_file(dir / "a.jpg", test_pictures::encode_rgb(3, 2, kThreeByTwo));
    test_pictures::write_file(dir / "b.jpg", test_pictures::encode_rgb(5, 4, test_pictures::pattern_rgb(5, 4, 1)));
    image::load_colour_image((dir / "a.jpg").c_str(), 10);
    image::load_colour_image((dir / "b.jpg").c_str(), 10);  // the leak checker sees the first array go
    EXPECT_EQ(frame_store::slot(10).width, 5);
    EXPECT_EQ(frame_store::slot(10).height, 4);
    release(10);
}

TEST(SlotLoaders, GreyPictureAsColourHasEqualChannels) {
    TempDir dir;
    const std::vector<uint8_t> grey = {0, 40, 80, 120, 160, 200, 240, 255};
    test_pictures::write_file(dir / "g.jpg", test_pictures::encode_grey(4, 2, grey, 100));
    image::load_colour_image((dir / "g.jpg").c_str(), 11);
    const ImageSlot& s = frame_store::slot(11);
    ASSERT_EQ(s.width, 4);
    for (int i = 0; i < 8; ++i) {
        const Pixel p = s.pixels[i];
        EXPECT_EQ(p >> 24, 0u);
        EXPECT_EQ(channel(p, 16), channel(p, 8)) << i;
        EXPECT_EQ(channel(p, 8), channel(p, 0)) << i;
        EXPECT_NEAR(static_cast<int>(channel(p, 0)), grey[i], 3) << i;
    }
    release(11);
}

TEST(SlotLoaders, ColourMaskGivesItsLuminance) {
    TempDir dir;
    // Four 8 x 8 blocks: red, green, blue, white. Luminance 0.299 R +
    // 0.587 G + 0.114 B: 76, 150, 29, 255.
    const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    std::vector<uint8_t> rgb(32 * 8 * 3);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 32; ++x) {
            for (int k = 0; k < 3; ++k) rgb[(y * 32 + x) * 3 + k] = colours[x / 8][k];
        }
    }
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(32, 8, test_pictures::pattern_rgb(32, 8, 3)));
    test_pictures::write_file(dir / "m.jpg", test_pictures::encode_rgb(32, 8, rgb, 100));
    image::load_colour_image_with_alpha_mask((dir / "c.jpg").c_str(), (dir / "m.jpg").c_str(), 12);
    const ImageSlot& s = frame_store::slot(12);
    const int luminance[4] = {76, 150, 29, 255};
    for (int block = 0; block < 4; ++block) {
        EXPECT_NEAR(static_cast<int>(s.pixels[4 * 32 + block * 8 + 4] >> 24), luminance[block], 3) << block;
    }
    release(12);
}

}  // namespace
