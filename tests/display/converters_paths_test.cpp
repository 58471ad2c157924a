// Every SIMD path the machine runs against the plain converters, byte for
// byte, for counts around the register widths and unaligned pointers.
#include <gtest/gtest.h>

#include <vector>

#include "display/converters.h"
#include "simd/simd.h"
#include "support/pages.h"
#include "support/paths.h"

namespace {

// The plain routine of each row of the format table.
const PixelConverter kPlain[convert::kFormatCount] = {
    convert::plain::RGB32,  convert::plain::BGR32,  convert::plain::RGB24,  convert::plain::BGR24,
    convert::plain::RGB565, convert::plain::BGR565, convert::plain::RGB555, convert::plain::BGR555};

}  // namespace

// Each SIMD path's column of the format table.
class ConverterPaths : public test_support::EachSimdPath {};

TEST_P(ConverterPaths, MatchesPlainAndWritesOnlyItsBytes) {
    const int p = static_cast<int>(GetParam());
    const std::vector<Pixel> pixels = test_support::random_page(600);
    const uint32_t counts[] = {0, 1, 2, 3, 5, 7, 8, 9, 11, 15, 16, 17, 23, 31, 33, 640, 1001};
    for (int f = 0; f < convert::kFormatCount; ++f) {
        const convert::Format& format = convert::formats()[f];
        ASSERT_EQ(format.by_path[0], kPlain[f]) << format.name;
        for (uint32_t count : counts) {
            // The source off its 16- and 32-byte alignment by whole pixels,
            // the destination by 3..6 bytes.
            for (size_t shift = 0; shift < 4; ++shift) {
                const Pixel* source = pixels.data() + 8 + shift;
                const size_t size = count * format.bytes_per_pixel;
                std::vector<uint8_t> want(size + 40, 0xCD), got(size + 40, 0xCD);
                kPlain[f](source, want.data() + 3 + shift, count);
                format.by_path[p](source, got.data() + 3 + shift, count);
                ASSERT_EQ(got, want) << format.name << " count " << count << " shift " << shift;
            }
        }
    }
}

// The active path's column is what a display gets.
TEST(ConverterTable, TheActivePathsColumnIsTheOneInUse) {
    const simd::Path saved = simd::active_path();
    for (int p = 0; p < simd::kPathCount; ++p) {
        simd::force_path(static_cast<simd::Path>(p));
        const int active = static_cast<int>(simd::active_path());
        for (int f = 0; f < convert::kFormatCount; ++f) {
            EXPECT_EQ(convert::converter(convert::formats()[f]), convert::formats()[f].by_path[active]);
        }
    }
    simd::force_path(saved);
}

ORVO_EACH_SIMD_PATH(ConverterPaths);
