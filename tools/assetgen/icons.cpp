// The program's icon: the king, cut square from its picture, averaged down to
// each icon size, with rounded corners. PNG files for the desktop's icon theme
// and one Windows .ico file that holds the same PNGs.
#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "assetgen.h"
#include "shapes.h"

namespace assetgen {
namespace {

// The square of the king's picture that the icon shows: the king from the
// top of his cross to his foot, with some sky on either side.
constexpr int kCropLeft = 120;
constexpr int kCropTop = 40;
constexpr int kCropSide = 560;

void append_png_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

[[noreturn]] void on_png_error(png_structp, png_const_charp message) {
    // Only an allocation can fail when writing into memory.
    std::fprintf(stderr, "orvo-assetgen: %s\n", message);
    std::exit(1);
}

void put16(std::vector<uint8_t>* bytes, unsigned value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>* bytes, size_t value) {
    put16(bytes, static_cast<unsigned>(value & 0xffff));
    put16(bytes, static_cast<unsigned>(value >> 16));
}

}  // namespace

Picture draw_icon(const Picture& king, int size) {
    Picture icon{size, size, 4, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4)};
    const float half = static_cast<float>(size) / 2;
    for (int y = 0; y < size; ++y) {
        const int y0 = kCropTop + y * kCropSide / size, y1 = kCropTop + (y + 1) * kCropSide / size;
        for (int x = 0; x < size; ++x) {
            const int x0 = kCropLeft + x * kCropSide / size, x1 = kCropLeft + (x + 1) * kCropSide / size;
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const uint8_t* row = king.bytes.data() + (static_cast<size_t>(sy) * king.width + x0) * 3;
                for (int sx = x0; sx < x1; ++sx, row += 3) {
                    for (int c = 0; c < 3; ++c) sum[c] += row[c];
                }
            }
            const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            uint8_t* out = icon.bytes.data() + (static_cast<size_t>(y) * size + x) * 4;
            for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
            const float d = sd_round_box(static_cast<float>(x) + 0.5f - half, static_cast<float>(y) + 0.5f - half, half,
                                         half, half * 0.36f);
            out[3] = static_cast<uint8_t>(cover(d) * 255.0f + 0.5f);
        }
    }
    return icon;
}

std::vector<uint8_t> encode_png(const Picture& picture) {
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, nullptr);
    png_infop info = png_create_info_struct(png);
    if (png == nullptr || info == nullptr) on_png_error(png, "out of memory");
    png_set_write_fn(png, &bytes, append_png_bytes, nullptr);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 picture.components == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.components);
    for (int y = 0; y < picture.height; ++y) {
        png_write_row(png, const_cast<png_bytep>(picture.bytes.data() + static_cast<size_t>(y) * stride));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

std::vector<uint8_t> icon_file(const std::vector<Picture>& icons) {
    std::vector<std::vector<uint8_t>> images;
    for (const Picture& icon : icons) images.push_back(encode_png(icon));
    // ICONDIR, one ICONDIRENTRY per image (a side of 256 is written as 0),
    // then the images, each a whole PNG file.
    std::vector<uint8_t> bytes;
    put16(&bytes, 0);
    put16(&bytes, 1);
    put16(&bytes, static_cast<unsigned>(icons.size()));
    size_t offset = 6 + 16 * icons.size();
    for (size_t i = 0; i < icons.size(); ++i) {
        bytes.push_back(static_cast<uint8_t>(icons[i].width & 0xff));
        bytes.push_back(static_cast<uint8_t>(icons[i].height & 0xff));
        bytes.push_back(0);  // no palette
        bytes.push_back(0);
        put16(&bytes, 1);   // colour planes
        put16(&bytes, 32);  // bits per pixel
        put32(&bytes, images[i].size());
        put32(&bytes, offset);
        offset += images[i].size();
    }
    for (const std::vector<uint8_t>& image : images) bytes.insert(bytes.end(), image.begin(), image.end());
    return bytes;
}

}  // namespace assetgen
