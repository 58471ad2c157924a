// The established libraries on the same work, in the same run as orvo-bench's
// own figures: pixman's bilinear affine transform (the rotozoom's job), its
// OVER composite (the overlay's) and SDL_ConvertPixels (the converters').
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/frame_store.h"
#include "display/converters.h"

namespace {

std::vector<uint32_t> varied_pixels(uint32_t salt) {
    std::vector<uint32_t> pixels(kPagePixels);
    uint32_t h = salt;
    for (uint32_t& p : pixels) {
        h = h * 1664525u + 1013904223u;
        p = h;
    }
    return pixels;
}

pixman_image_t* wrap(pixman_format_code_t format, std::vector<uint32_t>& pixels) {
    return pixman_image_create_bits(format, kPageWidth, kPageHeight, pixels.data(), kPageWidth * 4);
}

// Destination (i, j) samples the source at the centre plus the rotated offset
// scaled by 1/zoom, as the rotozoomer maps it.
void BM_Peer_PixmanRotozoom(benchmark::State& state) {
    std::vector<uint32_t> source = varied_pixels(1), target(kPagePixels);
    pixman_image_t* src = wrap(PIXMAN_a8r8g8b8, source);
    pixman_image_t* dst = wrap(PIXMAN_a8r8g8b8, target);
    const double zoom = 4.2, angle = 0.3;
    const double c = std::cos(angle) / zoom, s = std::sin(angle) / zoom;
    pixman_transform_t transform;
    pixman_transform_init_identity(&transform);
    transform.matrix[0][0] = pixman_double_to_fixed(c);
    transform.matrix[0][1] = pixman_double_to_fixed(-s);
    transform.matrix[0][2] = pixman_double_to_fixed(320 - 320 * c + 240 * s);
    transform.matrix[1][0] = pixman_double_to_fixed(s);
    transform.matrix[1][1] = pixman_double_to_fixed(c);
    transform.matrix[1][2] = pixman_double_to_fixed(240 - 320 * s - 240 * c);
    pixman_image_set_transform(src, &transform);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kPageWidth, kPageHeight);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}
BENCHMARK(BM_Peer_PixmanRotozoom);

void BM_Peer_PixmanOver(benchmark::State& state) {
    std::vector<uint32_t> source = varied_pixels(2), target = varied_pixels(3);
    pixman_image_t* src = wrap(PIXMAN_a8r8g8b8, source);
    pixman_image_t* dst = wrap(PIXMAN_x8r8g8b8, target);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kPageWidth, kPageHeight);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
}
BENCHMARK(BM_Peer_PixmanOver);

// Our Pixel is SDL's ARGB8888; each of our formats under SDL's name for the
// same bytes.
struct SdlFormat {
    const char* name;
    uint32_t format;
    int bytes_per_pixel;
};
const SdlFormat kSdlFormats[] = {
    {"RGB32", SDL_PIXELFORMAT_ARGB8888, 4},  {"BGR32", SDL_PIXELFORMAT_XBGR8888, 4},
    {"RGB24", SDL_PIXELFORMAT_BGR24, 3},     {"BGR24", SDL_PIXELFORMAT_RGB24, 3},
    {"RGB565", SDL_PIXELFORMAT_RGB565, 2},   {"BGR565", SDL_PIXELFORMAT_BGR565, 2},
    {"RGB555", SDL_PIXELFORMAT_XRGB1555, 2}, {"BGR555", SDL_PIXELFORMAT_XBGR1555, 2},
};

void BM_Peer_SDLConvert(benchmark::State& state, const SdlFormat& f) {
    const std::vector<uint32_t> source = varied_pixels(4);
    std::vector<uint8_t> target(static_cast<size_t>(kPagePixels) * 4);
    for (auto _ : state) {
        SDL_ConvertPixels(kPageWidth, kPageHeight, SDL_PIXELFORMAT_ARGB8888, source.data(), kPageWidth * 4, f.format,
                          target.data(), kPageWidth * f.bytes_per_pixel);
        benchmark::ClobberMemory();
    }
}

const int kRegistered = [] {
    for (int i = 0; i < static_cast<int>(sizeof(kSdlFormats) / sizeof(kSdlFormats[0])); ++i) {
        const SdlFormat& f = kSdlFormats[i];
        benchmark::RegisterBenchmark((std::string("BM_Peer_SDLConvert/") + f.name).c_str(),
                                     [&f](benchmark::State& state) { BM_Peer_SDLConvert(state, f); });
    }
    return 0;
}();

}  // namespace
