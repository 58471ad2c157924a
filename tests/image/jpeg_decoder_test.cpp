// The JPEG decoder on small files written by libjpeg's compressor: buffer
// layout, row order, and the one warning line per damaged file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/image.h"
#include "support/test_pictures.h"

namespace {

using test_pictures::TempDir;

// JPEG is lossy; these pictures are made so that every sample lands within a
// few levels of what was written, far closer than any two test colours.
void expect_near(int expected, int actual, const char* what) { EXPECT_NEAR(expected, actual, 12) << what; }

TEST(JpegDecoder, ColourRowsAreBottomUpRgb) {
    TempDir dir;
    // Top row red, green; bottom row blue, white.
    const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(2, 2, rgb, 100));

    int32_t w = 0, h = 0;
    int components = 0;
    uint8_t* buffer = image::decode_jpeg_file((dir / "c.jpg").c_str(), image::kFileSamples, &w, &h, &components);
    ASSERT_EQ(w, 2);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(components, 3);
    // Bytes 6-11 hold the top row, bytes 0-5 the bottom row.
    for (int i = 0; i < 6; ++i) expect_near(rgb[i], buffer[6 + i], "top row");
    for (int i = 0; i < 6; ++i) expect_near(rgb[6 + i], buffer[i], "bottom row");
    std::free(buffer);
}

TEST(JpegDecoder, GreyLevelsLeadEachThreeByteRow) {
    TempDir dir;
    const int w = 5, h = 3;
    std::vector<uint8_t> grey(w * h);
    for (int i = 0; i < w * h; ++i) grey[i] = static_cast<uint8_t>(i * 17);
    test_pictures::write_file(dir / "g.jpg", test_pictures::encode_grey(w, h, grey, 100));

    int32_t dw = 0, dh = 0;
    int components = 0;
    uint8_t* buffer = image::decode_jpeg_file((dir / "g.jpg").c_str(), image::kFileSamples, &dw, &dh, &components);
    ASSERT_EQ(dw, w);
    ASSERT_EQ(dh, h);
    EXPECT_EQ(components, 1);
    for (int k = 0; k < h; ++k) {
        for (int c = 0; c < w; ++c) expect_near(grey[(h - 1 - k) * w + c], buffer[k * w * 3 + c], "grey");
    }
    std::free(buffer);
}

TEST(JpegDecoder, LuminanceOfAColourFileIsOneBytePerPixel) {
    TempDir dir;
    // Grey pixels stored as colour: their luminance is the grey level.
    const std::vector<uint8_t> rgb = {10, 10, 10, 200, 200, 200, 90, 90, 90, 250, 250, 250};
    test_pictures::write_file(dir / "c.jpg", test_pictures::encode_rgb(2, 2, rgb, 100));

    int32_t w = 0, h = 0;
    int components = 0;
    uint8_t* buffer = image::decode_jpeg_file((dir / "c.jpg").c_str(), image::kLuminance, &w, &h, &components);
    EXPECT_EQ(components, 1);
    expect_near(10, buffer[6], "top left");
    expect_near(200, buffer[7], "top right");
    expect_near(90, buffer[0], "bottom left");
    expect_near(250, buffer[1], "bottom right");
    std::free(buffer);
}

// A file cut short decodes to its header's size with exactly one warning
// line; the next damaged file shows its own first warning again.
TEST(JpegDecoder, CutShortFileShowsOnlyItsFirstWarning) {
    TempDir dir;
    test_pictures::Bytes jpeg = test_pictures::encode_rgb(64, 64, test_pictures::pattern_rgb(64, 64, 7));
    jpeg.resize(jpeg.size() * 6 / 10);
    test_pictures::write_file(dir / "cut.jpg", jpeg);

    for (int run = 0; run < 2; ++run) {
        testing::internal::CaptureStderr();
        int32_t w = 0, h = 0;
        int components = 0;
        uint8_t* buffer = image::decode_jpeg_file((dir / "cut.jpg").c_str(), image::kFileSamples, &w, &h, &components);
        const std::string err = testing::internal::GetCapturedStderr();
        std::free(buffer);
        EXPECT_EQ(w, 64);
        EXPECT_EQ(h, 64);
        EXPECT_NE(err.find("Premature end of JPEG file"), std::string::npos) << err;
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "more than one line: " << err;
    }
}

}  // namespace
