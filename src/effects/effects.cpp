// The public effects: the floating-point set-up once, then the active path's
// row of the path table.
#include "effects/effects.h"

#include "core/fixed_point.h"
#include "effects/effects_paths.h"
#include "simd/simd.h"

namespace effects {
namespace {

constexpr PathRow kPlainRow = {plain::rotozoom, plain::shadow_grid, plain::radial_zoom, plain::alpha_overlay};

constexpr PathRow kRows[simd::kPathCount] = {
    kPlainRow,
#if defined(ORVO_X86)
    {sse2::rotozoom, sse2::shadow_grid, sse2::radial_zoom, sse2::alpha_overlay},
    {avx2::rotozoom, avx2::shadow_grid, avx2::radial_zoom, avx2::alpha_overlay},
    {avx512::rotozoom, avx2::shadow_grid, avx512::radial_zoom, avx512::alpha_overlay},
#else
    kPlainRow,
    kPlainRow,
    kPlainRow,
#endif
};
static_assert(simd::kPathCount == 4, "one row per path: plain, sse2, avx2, avx512");

const PathRow& active_row() { return kRows[static_cast<int>(simd::active_path())]; }

}  // namespace

const PathRow& path_row(simd::Path path) { return kRows[static_cast<int>(path)]; }

void rotozoom(const Pixel* source, Pixel* destination, float zoom, float angle) {
    const fixed_point::RotozoomSteps steps = fixed_point::rotozoom_steps(zoom, angle);
    active_row().rotozoom(source, destination, steps.kc, steps.ks);
}

void shadow_grid(const Pixel* source, Pixel* destination, int32_t light_column, int32_t light_row, uint32_t& seed) {
    active_row().shadow_grid(source, destination, light_column, light_row, seed);
}

void radial_zoom(Pixel* page, float factor) {
    const int32_t k = fixed_point::radial_step(factor);
    // The layers rely on every source position lying between its pixel and
    // the centre, which holds for 0 <= K < 65536; any other K is plain's.
    const bool in_range = k >= 0 && k < fixed_point::kOne;
    (in_range ? active_row() : kPlainRow).radial_zoom(page, k);
}

void alpha_overlay(const Pixel* source, Pixel* destination) { active_row().alpha_overlay(source, destination); }

}  // namespace effects
