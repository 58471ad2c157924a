// Start-up's picture path: decoding a JPEG, packing it into a slot (with and
// without its alpha mask) and resampling the slot into a page, for a
// page-sized picture (the copy path) and a 2,000 x 1,500 one (resampling).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/frame_store.h"
#include "image/image.h"
#include "support/test_pictures.h"

namespace {

constexpr int kSlot = 200;

// Written once per size: a colour picture with texture (so the entropy
// decoder has work) and a greyscale mask of the same size.
const std::string& picture(int w, int h, bool mask) {
    static test_pictures::TempDir dir;
    static std::string paths[2][2];
    std::string& path = paths[w == 640 ? 0 : 1][mask ? 1 : 0];
    if (path.empty()) {
        path = dir / (std::to_string(w) + "x" + std::to_string(h) + (mask ? "a.jpg" : ".jpg"));
        std::vector<uint8_t> rgb = test_pictures::pattern_rgb(w, h, 0x51u);
        if (mask) {
            std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
            for (size_t i = 0; i < grey.size(); ++i) grey[i] = rgb[i * 3 + 1];
            test_pictures::write_file(path, test_pictures::encode_grey(w, h, grey, 90));
        } else {
            test_pictures::write_file(path, test_pictures::encode_rgb(w, h, rgb, 90));
        }
    }
    return path;
}

void set_pixels_processed(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
    state.SetLabel(std::to_string(state.range(0)) + "x" + std::to_string(state.range(1)));
}

void BM_DecodeJpeg(benchmark::State& state) {
    const std::string& path = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
    for (auto _ : state) {
        int32_t w = 0, h = 0;
        int components = 0;
        uint8_t* buffer = image::decode_jpeg_file(path.c_str(), image::kFileSamples, &w, &h, &components);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
    set_pixels_processed(state);
}
BENCHMARK(BM_DecodeJpeg)->Args({640, 480})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

// Decode and pack: load colour image, as for "king.jpg".
void BM_LoadColourImage(benchmark::State& state) {
    const std::string& path = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
    for (auto _ : state) image::load_colour_image(path.c_str(), kSlot);
    set_pixels_processed(state);
}
BENCHMARK(BM_LoadColourImage)->Args({640, 480})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

// Both files and the alpha pass, as for "02.jpg" with "02a.jpg".
void BM_LoadColourImageWithAlphaMask(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const std::string& colour = picture(w, h, false);
    const std::string& mask = picture(w, h, true);
    for (auto _ : state) image::load_colour_image_with_alpha_mask(colour.c_str(), mask.c_str(), kSlot);
    set_pixels_processed(state);
}
BENCHMARK(BM_LoadColourImageWithAlphaMask)->Args({640, 480})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

void BM_ResampleSlotIntoPage(benchmark::State& state) {
    image::load_colour_image(picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false).c_str(),
                             kSlot);
    for (auto _ : state) {
        image::resample_slot_into_page(kSlot, 3);
        benchmark::ClobberMemory();
    }
    set_pixels_processed(state);
}
BENCHMARK(BM_ResampleSlotIntoPage)->Args({640, 480})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

// The whole path for one picture: decode, pack, resample.
void BM_StartupPicturePath(benchmark::State& state) {
    const std::string& path = picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
    for (auto _ : state) {
        image::load_colour_image(path.c_str(), kSlot);
        image::resample_slot_into_page(kSlot, 3);
        benchmark::ClobberMemory();
    }
    set_pixels_processed(state);
}
BENCHMARK(BM_StartupPicturePath)->Args({640, 480})->Args({2000, 1500})->Unit(benchmark::kMillisecond);

}  // namespace
