// The slot loaders: pack a decoded picture into a slot's Pixels, top-down,
// and OR a mask's grey levels into the top byte as alpha.
#include <cstdlib>

#include "image/image.h"

namespace image {
namespace {

// Both reversals cancel: buffer row k holds picture row h - 1 - k and goes to
// slot row h - 1 - k, so the slot is top-down like the picture.
void pack_colour(const uint8_t* buffer, int32_t w, int32_t h, int components, Pixel* pixels) {
    for (int32_t k = 0; k < h; ++k) {
        const uint8_t* row = buffer + static_cast<size_t>(k) * w * 3;
        Pixel* out = pixels + static_cast<size_t>(h - 1 - k) * w;
        if (components == 3) {
            for (int32_t c = 0; c < w; ++c) {
                const uint8_t* rgb = row + c * 3;
                out[c] = Pixel{rgb[0]} << 16 | Pixel{rgb[1]} << 8 | rgb[2];
            }
        } else {
            // A greyscale picture: its w grey bytes lead the row.
            for (int32_t c = 0; c < w; ++c) out[c] = Pixel{row[c]} * 0x010101u;
        }
    }
}

}  // namespace

void load_colour_image(const char* path, int slot) {
    ImageSlot& s = frame_store::slot(slot);
    std::free(s.pixels);
    s = ImageSlot{};  // empty until the picture is whole

    int32_t w = 0, h = 0;
    int components = 0;
    uint8_t* buffer = decode_jpeg_file(path, kFileSamples, &w, &h, &components);

    // The decoder refused anything whose w * h * 4 exceeds INT32_MAX.
    const int32_t bytes = w * h * 4;
    Pixel* pixels = static_cast<Pixel*>(std::malloc(static_cast<size_t>(bytes)));
    if (pixels == nullptr) {
        std::free(buffer);
        fail("Couldn't allocate %d bytes for image data\n", bytes);
    }

    pack_colour(buffer, w, h, components, pixels);
    std::free(buffer);
    s.width = w;
    s.height = h;
    s.pixels = pixels;
}

void load_colour_image_with_alpha_mask(const char* colour_path, const char* mask_path, int slot) {
    load_colour_image(colour_path, slot);
    ImageSlot& s = frame_store::slot(slot);

    int32_t mw = 0, mh = 0;
    int components = 0;
    uint8_t* mask = decode_jpeg_file(mask_path, kLuminance, &mw, &mh, &components);
    if (mw != s.width || mh != s.height) {
        std::free(mask);
        fail("can't use \"%s\" as the mask of \"%s\": the mask is %d x %d pixels, the picture %d x %d\n", mask_path,
             colour_path, mw, mh, s.width, s.height);
    }

    // One grey byte per pixel at the start of each 3 * mw-byte buffer row.
    for (int32_t k = 0; k < mh; ++k) {
        const uint8_t* row = mask + static_cast<size_t>(k) * mw * 3;
        Pixel* out = s.pixels + static_cast<size_t>(mh - 1 - k) * mw;
        for (int32_t c = 0; c < mw; ++c) out[c] |= Pixel{row[c]} << 24;
    }
    std::free(mask);
}

}  // namespace image
