// The public effects: the floating-point set-up once, then the active path's
// row of the path table.
#include "effects/effects.h"

#include "core/fixed_point.h"
#include "effects/effects_paths.h"
#include "effects/kernel_limits.h"
#include "simd/simd.h"

namespace effects {
namespace {

constexpr PathRow kPlainRow = {
    {{nullptr, plain::rotozoom}}, plain::shadow_grid, {{nullptr, plain::radial_zoom}}, plain::alpha_overlay};

#if defined(ORVO_X86) || defined(ORVO_WASM_SIMD128) || defined(ORVO_NEON)
// Also the simd128 and neon rows: the browser build compiles the SSE2 layer
// for WebAssembly's SIMD, the ARM64 build through SIMDe for NEON, whose
// instructions give the same bits.
constexpr PathRow kSse2Row = {
    {{nullptr, sse2::rotozoom}},
    sse2::shadow_grid,
    {{radial_step_in_range, sse2::radial_zoom}, {nullptr, plain::radial_zoom}},
    sse2::alpha_overlay,
};
#endif

// Each limited kernel sits beside the test of what it takes (kernel_limits.h);
// what it can't take falls to the next entry, possibly another layer's.
constexpr PathRow kRows[simd::kPathCount] = {
    kPlainRow,
#if defined(ORVO_X86)
    kSse2Row,
    {
        // Small steps: the row kernel's 3 x 4 boxes; larger ones that fit:
        // the 4 x 4 blocks; the rest: the row kernel's gathers.
        {{rotozoom_row_box_fits, avx2::rotozoom_row_boxes},
         {rotozoom_box_fits, avx2::rotozoom_blocks},
         {nullptr, avx2::rotozoom}},
        avx2::shadow_grid,
        {{radial_wavefront_fits, avx2::radial_wavefront},
         {radial_step_in_range, avx2::radial_zoom},
         {nullptr, plain::radial_zoom}},
        avx2::alpha_overlay,
    },
    {
        {{rotozoom_box_fits, avx512::rotozoom_blocks},
         {rotozoom_row_box_fits, avx2::rotozoom_row_boxes},
         {nullptr, avx2::rotozoom}},
        avx2::shadow_grid,
        {{radial_wavefront_fits, avx512::radial_wavefront},
         {radial_step_in_range, avx2::radial_zoom},
         {nullptr, plain::radial_zoom}},
        avx512::alpha_overlay,
    },
#else
    kPlainRow, kPlainRow, kPlainRow,
#endif
#if defined(ORVO_WASM_SIMD128)
    kSse2Row,
#else
    kPlainRow,
#endif
#if defined(ORVO_NEON)
    kSse2Row,
#else
    kPlainRow,
#endif
};
static_assert(simd::kPathCount == 6, "one row per path: plain, sse2, avx2, avx512, simd128, neon");

const PathRow& active_row() { return kRows[static_cast<int>(simd::active_path())]; }

// A chain's entries after its open one are never reached; a test checks that
// every chain has one.
template <class Entry, class... Input> const Entry& first_taking(const Entry (&chain)[kChainLength], Input... input) {
    for (int i = 0; i + 1 < kChainLength; ++i) {
        if (chain[i].takes == nullptr || chain[i].takes(input...)) return chain[i];
    }
    return chain[kChainLength - 1];
}

}  // namespace

const PathRow& path_row(simd::Path path) { return kRows[static_cast<int>(path)]; }

const RotozoomEntry& chosen(const RotozoomEntry (&chain)[kChainLength], int32_t kc, int32_t ks) {
    return first_taking(chain, kc, ks);
}

const RadialZoomEntry& chosen(const RadialZoomEntry (&chain)[kChainLength], int32_t k) {
    return first_taking(chain, k);
}

void rotozoom(const Pixel* source, Pixel* destination, float zoom, float angle) {
    const fixed_point::RotozoomSteps steps = fixed_point::rotozoom_steps(zoom, angle);
    chosen(active_row().rotozoom, steps.kc, steps.ks).run(source, destination, steps.kc, steps.ks);
}

void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed) {
    active_row().shadow_grid(source, destination, light_column, light_row, seed);
}

void radial_zoom(Pixel* page, float factor) {
    const int32_t k = fixed_point::radial_step(factor);
    chosen(active_row().radial_zoom, k).run(page, k);
}

void alpha_overlay(const Pixel* source, Pixel* destination) { active_row().alpha_overlay(source, destination); }

}  // namespace effects
