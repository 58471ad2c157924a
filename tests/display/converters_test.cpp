#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "display/converters.h"
#include "support/pages.h"

namespace {

// Per-channel bit arithmetic from the format's own masks: each channel keeps
// its top popcount(mask) bits, placed at the mask's lowest bit.
uint32_t reference_word(const convert::Format& f, Pixel p) {
    const uint32_t channels[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
    const uint32_t masks[3] = {f.red_mask, f.green_mask, f.blue_mask};
    uint32_t word = 0;
    for (int c = 0; c < 3; ++c) {
        word |= (channels[c] >> (8 - std::popcount(masks[c]))) << std::countr_zero(masks[c]);
    }
    // RGB32 keeps the top byte; BGR32 writes it opaque, as a canvas reads it.
    if (std::string(f.name) == "RGB32") word |= p & 0xFF000000u;
    if (std::string(f.name) == "BGR32") word |= 0xFF000000u;
    return word;
}

std::vector<uint8_t> convert_row(const convert::Format& f, const std::vector<Pixel>& row, size_t guard) {
    std::vector<uint8_t> out(row.size() * f.bytes_per_pixel + guard, 0xCD);
    convert::converter(f)(row.data(), out.data(), static_cast<uint32_t>(row.size()));
    return out;
}

}  // namespace

TEST(Converters, EveryFormatMatchesPerChannelBitsAndWritesOnlyItsBytes) {
    const std::vector<Pixel> row = test_support::random_page(70);
    const std::vector<Pixel> some(row.begin(), row.begin() + 1001);
    for (int i = 0; i < convert::kFormatCount; ++i) {
        const convert::Format& f = convert::formats()[i];
        const std::vector<uint8_t> out = convert_row(f, some, 8);
        for (size_t n = 0; n < some.size(); ++n) {
            uint32_t got = 0;
            std::memcpy(&got, &out[n * f.bytes_per_pixel], f.bytes_per_pixel);
            ASSERT_EQ(got, reference_word(f, some[n])) << f.name << " pixel " << n;
        }
        for (size_t g = some.size() * f.bytes_per_pixel; g < out.size(); ++g) ASSERT_EQ(out[g], 0xCD) << f.name;
        // A count of 0 writes nothing.
        std::vector<uint8_t> untouched(8, 0xCD);
        convert::converter(f)(some.data(), untouched.data(), 0);
        EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xCD)) << f.name;
    }
}

TEST(Converters, KnownColours) {
    auto word16 = [](PixelConverter conv, Pixel p) {
        uint8_t out[2];
        conv(&p, out, 1);
        return static_cast<uint32_t>(out[0] | out[1] << 8);
    };
    using namespace convert::plain;
    const PixelConverter sixteen[4] = {RGB565, BGR565, RGB555, BGR555};
    const uint32_t red[4] = {0xF800, 0x001F, 0x7C00, 0x001F};
    const uint32_t blue[4] = {0x001F, 0xF800, 0x001F, 0x7C00};
    const uint32_t white[4] = {0xFFFF, 0xFFFF, 0x7FFF, 0x7FFF};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(word16(sixteen[i], 0x00FF0000u), red[i]);
        EXPECT_EQ(word16(sixteen[i], 0x000000FFu), blue[i]);
        EXPECT_EQ(word16(sixteen[i], 0x00FFFFFFu), white[i]);
    }
    const Pixel p = 0xAB102030u;
    uint8_t out[4];
    RGB32(&p, out, 1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x30, 0x20, 0x10, 0xAB}));
    BGR32(&p, out, 1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0xFF}));
    RGB24(&p, out, 1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0x30, 0x20, 0x10}));
    BGR24(&p, out, 1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0x10, 0x20, 0x30}));
}

TEST(Converters, SelectMatchesAllFourValuesExactly) {
    auto select_name = [](uint32_t bits, uint32_t red, uint32_t green, uint32_t blue) -> std::string {
        const convert::Format* f = convert::select_format(bits, red, green, blue);
        return f ? f->name : "none";
    };
    EXPECT_EQ(select_name(32, 0xFF0000, 0xFF00, 0xFF), "RGB32");
    EXPECT_EQ(select_name(24, 0xFF0000, 0xFF00, 0xFF), "RGB24");
    EXPECT_EQ(select_name(32, 0xFF, 0xFF00, 0xFF0000), "BGR32");
    EXPECT_EQ(select_name(24, 0xFF, 0xFF00, 0xFF0000), "BGR24");
    EXPECT_EQ(select_name(16, 0x7C00, 0x03E0, 0x001F), "RGB555");
    EXPECT_EQ(select_name(16, 0xF800, 0x07E0, 0x001F), "RGB565");
    EXPECT_EQ(select_name(16, 0x001F, 0x07E0, 0xF800), "BGR565");
    EXPECT_EQ(select_name(16, 0x001F, 0x03E0, 0x7C00), "BGR555");
    EXPECT_EQ(select_name(16, 0xFF0000, 0xFF00, 0xFF), "none");
    EXPECT_EQ(select_name(8, 0xFF0000, 0xFF00, 0xFF), "none");
    EXPECT_EQ(select_name(32, 0xFF0000, 0xFF, 0xFF00), "none");
    EXPECT_EQ(select_name(15, 0x7C00, 0x03E0, 0x001F), "none");
}
