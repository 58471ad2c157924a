// Per-frame costs: each effect, each converter, and the whole frame (four
// effects in frame order plus the RGB32 conversion of the screen page).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_store.h"
#include "display/converters.h"
#include "effects/effects.h"
#include "scene/scene.h"
#include "simd/simd.h"

namespace {

// Varied content: smooth gradients with a hashed texture, alpha included, so
// no effect meets a uniform page that a branch could skip.
void fill_varied(Pixel* page, uint32_t salt) {
    for (int y = 0; y < kPageHeight; ++y) {
        for (int x = 0; x < kPageWidth; ++x) {
            uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ salt;
            h ^= h >> 13;
            h *= 0x5bd1e995u;
            const uint32_t r = (x * 255 / 639 + (h & 31)) & 0xFF;
            const uint32_t g = (y * 255 / 479 + ((h >> 5) & 31)) & 0xFF;
            const uint32_t b = ((x + y) & 0xFF) ^ ((h >> 10) & 15);
            const uint32_t a = (h >> 24);
            page[y * kPageWidth + x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
}

void prepare_pages() {
    frame_store::point_screen_at_page0();
    for (int n = 0; n < kPageCount; ++n) fill_varied(frame_store::page(n), 0x9E3779B9u * (n + 1));
}

const scene::FrameParameters kParams = scene::frame_parameters(1234);

void BM_Rotozoom(benchmark::State& state) {
    prepare_pages();
    for (auto _ : state) {
        effects::rotozoom(frame_store::page(frame_store::kPicturePage),
                          frame_store::page(frame_store::kRotozoomTargetPage), kParams.zoom, kParams.angle);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Rotozoom);

// The rotozoom over the frames' own zooms and angles, which decide its path:
// each iteration takes the parameters of the next frame time (t += 16, as
// BM_Frame steps).
void BM_RotozoomSweep(benchmark::State& state) {
    prepare_pages();
    int32_t t = 0;
    for (auto _ : state) {
        const scene::FrameParameters params = scene::frame_parameters(t);
        effects::rotozoom(frame_store::page(frame_store::kPicturePage),
                          frame_store::page(frame_store::kRotozoomTargetPage), params.zoom, params.angle);
        benchmark::ClobberMemory();
        t += 16;
    }
}
BENCHMARK(BM_RotozoomSweep);

void BM_ShadowGrid(benchmark::State& state) {
    prepare_pages();
    uint32_t seed = 0;
    for (auto _ : state) {
        effects::shadow_grid(frame_store::page(frame_store::kRotozoomTargetPage),
                             frame_store::page(frame_store::kScreenPage), kParams.light_column, kParams.light_row,
                             seed);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ShadowGrid);

void BM_RadialZoom(benchmark::State& state) {
    prepare_pages();
    for (auto _ : state) {
        effects::radial_zoom(frame_store::page(frame_store::kScreenPage), scene::kRadialZoomFactor);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RadialZoom);

void BM_AlphaOverlay(benchmark::State& state) {
    prepare_pages();
    for (auto _ : state) {
        effects::alpha_overlay(frame_store::page(frame_store::kOverlayPage),
                               frame_store::page(frame_store::kScreenPage));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AlphaOverlay);

void BM_Convert(benchmark::State& state, int index) {
    prepare_pages();
    const convert::Format& format = convert::formats()[index];
    std::vector<uint8_t> target(static_cast<size_t>(kPagePixels) * 4);
    const Pixel* screen = frame_store::page(frame_store::kScreenPage);
    for (auto _ : state) {
        for (int y = 0; y < kPageHeight; ++y) {
            convert::converter(format)(screen + y * kPageWidth, target.data() + y * kPageWidth * format.bytes_per_pixel,
                                       kPageWidth);
        }
        benchmark::ClobberMemory();
    }
}

// Registered by name so that each prints as BM_Convert/<name>, no argument
// suffix.
void register_converters() {
    for (int i = 0; i < convert::kFormatCount; ++i) {
        benchmark::RegisterBenchmark((std::string("BM_Convert/") + convert::formats()[i].name).c_str(),
                                     [i](benchmark::State& state) { BM_Convert(state, i); });
    }
}
const int kRegistered = (register_converters(), 0);

// The path every benchmark runs on, chosen as the demo chooses it (ORVO_SIMD
// included) and printed in the run's context lines.
void choose_path() {
    simd::choose_at_start_up("orvo-bench");
    benchmark::AddCustomContext("path", simd::path_name(simd::active_path()));
}
const int kPathChosen = (choose_path(), 0);

// The memory floor: one plain pass over a page, as a copy (one page read, one
// written) and as a fill (one written), for the converters and the overlay to
// be read against.
void BM_MemoryPass_Copy(benchmark::State& state) {
    prepare_pages();
    for (auto _ : state) {
        std::memcpy(frame_store::page(frame_store::kScreenPage), frame_store::page(frame_store::kOverlayPage),
                    kPagePixels * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemoryPass_Copy)->Name("BM_MemoryPass/copy");

void BM_MemoryPass_Fill(benchmark::State& state) {
    prepare_pages();
    uint8_t value = 0;
    for (auto _ : state) {
        std::memset(frame_store::page(frame_store::kScreenPage), ++value, kPagePixels * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemoryPass_Fill)->Name("BM_MemoryPass/fill");

void BM_Frame(benchmark::State& state) {
    prepare_pages();
    std::vector<uint8_t> target(static_cast<size_t>(kPagePixels) * 4);
    int32_t t = 0;
    for (auto _ : state) {
        scene::render_frame(t);
        const Pixel* screen = frame_store::screen();
        const PixelConverter rgb32 = convert::converter(convert::formats()[0]);
        for (int y = 0; y < kPageHeight; ++y) {
            rgb32(screen + y * kPageWidth, target.data() + y * kPageWidth * 4, kPageWidth);
        }
        benchmark::ClobberMemory();
        t += 16;
    }
}
BENCHMARK(BM_Frame);

}  // namespace
