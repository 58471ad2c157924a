// The radial zoom as a wavefront inside registers, for factors close to 1;
// written once over the register type (8 lanes on AVX2, 16 on AVX-512).
//
// Counted in steps from the centre (column step c, row step e), a quadrant's
// pixel blends its own old value with pixels at steps (c', e'), c' <= c and
// e' <= e, already rewritten. For factors close to 1 (K from 65126 up, the
// demo's 65241 among them) those lie at most two steps back on each axis, so
// on each axis the two pixels read are this step and the one before ("near")
// or the two before ("far"), with weights that depend on the step alone.
//
// A band of rows then runs as a wavefront inside one register: lane r holds
// row e0 - held + r, and at step t it works on column t - r. Whatever a lane
// reads is its own old value (loaded), its own results of the last two
// steps, or results of the two lanes above it from the last four steps, all
// still in registers, shifted by a lane or two. The first lanes hold the one
// or two finished rows above the band and keep their values. As many steps
// as lanes go through memory at once: skewed row loads, a transpose into
// steps, the steps, a transpose back, skewed row stores, masked to the
// quadrant. The right and left quadrants of a half run side by side, since a
// step waits on the one before it.
#pragma once

#include <cstdint>

#include "core/frame_store.h"
#include "effects/blend_lanes.h"
#include "effects/kernel_limits.h"

namespace effects {
namespace {

using namespace lanes;

// Which pair the lanes of a band or of a block of steps read: all the near
// one, all the far one, or some of each.
enum class Pairs { near, far, mixed };

// The column pairs of one half by step of the wavefront. Lane r at step t is
// on column t - r, so the weights are kept in reverse (index kSteps - 1 -
// column, columns -kLanes to kSteps - 1) and one load at kSteps - 1 - t gives
// all lanes theirs: the byte pairs (newer, older) twice. far[t] has bit r set
// where lane r reads the far pair at step t. Columns outside the quadrant
// weigh nothing and take the nearest column's pair, so that most blocks read
// one pair only.
template <class V> struct ColumnSteps {
    static constexpr int kLanes = kPixels<V>;
    // The last lane reaches column 319 at step 319 + kLanes - 1.
    static constexpr int kSteps = kQuadrantCols + kLanes;
    uint32_t weights[kSteps + kLanes];
    uint32_t far[kSteps];
    Pairs block[kSteps / kLanes];
};

template <class V> void column_steps(const AxisPairs& pairs, ColumnSteps<V>& steps) {
    constexpr int kLanes = ColumnSteps<V>::kLanes;
    constexpr int kSteps = ColumnSteps<V>::kSteps;
    for (int j = 0; j < kSteps + kLanes; ++j) {
        const int c = kSteps - 1 - j;
        const bool inside = c >= 0 && c < kQuadrantCols;
        const uint32_t pair = inside ? pairs.newer_weight[c] | pairs.older_weight[c] << 8 : 0;
        steps.weights[j] = pair * 0x10001u;
    }
    for (int t = 0; t < kSteps; ++t) {
        uint32_t far = 0;
        for (int r = 0; r < kLanes; ++r) {
            const int c = t - r;
            if (pairs.far[c < 0 ? 0 : c >= kQuadrantCols ? kQuadrantCols - 1 : c]) far |= 1u << r;
        }
        steps.far[t] = far;
    }
    constexpr uint32_t kAllLanes = (1u << kLanes) - 1;
    for (int b = 0; b < kSteps / kLanes; ++b) {
        bool any_near = false, any_far = false;
        for (int t = b * kLanes; t < (b + 1) * kLanes; ++t) {
            any_near = any_near || steps.far[t] != kAllLanes;
            any_far = any_far || steps.far[t] != 0;
        }
        steps.block[b] = any_far ? (any_near ? Pairs::mixed : Pairs::far) : Pairs::near;
    }
}

// What stays the same for a band: its rows' weights (words twice per lane),
// which rows read the far pair and which lanes are held rows.
template <class V> struct BandRows {
    V newer_weight, older_weight;
    LaneMask<V> far, held;
    int held_rows, lanes_used;
};

// One quadrant's wavefront through a band: lane r's row at the quadrant's
// first column, its column pairs, the block in flight and the results of the
// last steps (r1 of step t - 1, ...), also moved down one lane (the row
// above) and two.
template <class V, int kColDir> struct Wavefront {
    static constexpr int kLanes = kPixels<V>;
    Pixel* row_base[kLanes];
    const ColumnSteps<V>* cols;
    V block[kLanes];
    int first[kLanes], last[kLanes];
    Pixel* at[kLanes];
    V r1, r2, above2, above3, two_above3, two_above4;
};

// Lane r's element k is column t0 - r + k (kColDir > 0) or t0 - r + kLanes - 1
// - k, in memory order either way; columns outside the quadrant are left
// alone. (at[r] may point outside the page when those elements do.)
template <class V, int kColDir> void load_block(Wavefront<V, kColDir>& w, const BandRows<V>& band, int t0) {
    constexpr int kLanes = kPixels<V>;
    for (int r = 0; r < kLanes; ++r) {
        const int c0 = t0 - r;
        if (r >= band.lanes_used) {
            w.first[r] = w.last[r] = 0;
        } else if (kColDir > 0) {
            w.first[r] = -c0;
            w.last[r] = kQuadrantCols - c0;
        } else {
            w.first[r] = c0 + kLanes - kQuadrantCols;
            w.last[r] = c0 + kLanes;
        }
        const intptr_t offset = kColDir > 0 ? c0 : -c0 - (kLanes - 1);
        w.at[r] = reinterpret_cast<Pixel*>(reinterpret_cast<intptr_t>(w.row_base[r]) +
                                           offset * static_cast<intptr_t>(sizeof(Pixel)));
        w.block[r] =
            w.first[r] <= 0 && w.last[r] >= kLanes ? load<V>(w.at[r]) : load_span<V>(w.at[r], w.first[r], w.last[r]);
    }
    transpose(w.block);
}

template <class V, int kColDir> void store_block(Wavefront<V, kColDir>& w, const BandRows<V>& band) {
    constexpr int kLanes = kPixels<V>;
    transpose(w.block);
    for (int r = band.held_rows; r < band.lanes_used; ++r) {
        if (w.first[r] <= 0 && w.last[r] >= kLanes) {
            store(w.at[r], w.block[r]);
        } else {
            store_span(w.at[r], w.first[r], w.last[r], w.block[r]);
        }
    }
}

// Byte pairs of the newer and older pixel of each channel, blue and red in
// one register, green and the top byte in the other, weighted by maddubs.
template <class V> struct Horizontal { V rb, ag; };

template <class V> inline Horizontal<V> horizontal(V newer, V older, V weights) {
    return {maddubs(select_bytes02(newer, sll32<8>(older)), weights),
            maddubs(select_bytes02(srl32<8>(newer), older), weights)};
}

// Step t0 + s: every lane's pixel, from its old value and the results kept.
template <Pairs kRows, Pairs kColumns, class V, int kColDir>
inline void wavefront_step(Wavefront<V, kColDir>& w, const BandRows<V>& band, int t0, int s) {
    constexpr int kLanes = kPixels<V>;
    const int t = t0 + s;
    const int entry = ColumnSteps<V>::kSteps - 1 - t;
    V& step = w.block[kColDir > 0 ? s : kLanes - 1 - s];
    const V weights = load<V>(w.cols->weights + entry);
    const LaneMask<V> far = lane_mask<V>(kColumns == Pairs::mixed ? w.cols->far[t] : 0);
    auto pick = [far](V near_value, V far_value) {
        if constexpr (kColumns == Pairs::near) return near_value;
        if constexpr (kColumns == Pairs::far) return far_value;
        return select_lanes(far, far_value, near_value);
    };
    const V old = step;
    const V above1 = lane_down(w.r1);
    // This row and the row above, at the column pair.
    const V own_newer = pick(old, w.r1);
    const V own_older = pick(w.r1, w.r2);
    const V up_newer = pick(above1, w.above2);
    const V up_older = pick(w.above2, w.above3);
    Horizontal<V> newer_row, older_row;
    if constexpr (kRows == Pairs::near) {
        newer_row = horizontal(own_newer, own_older, weights);
        older_row = horizontal(up_newer, up_older, weights);
    } else {
        const V two_above2 = lane_down(w.above2);
        const V up2_newer = pick(two_above2, w.two_above3);
        const V up2_older = pick(w.two_above3, w.two_above4);
        if constexpr (kRows == Pairs::far) {
            newer_row = horizontal(up_newer, up_older, weights);
            older_row = horizontal(up2_newer, up2_older, weights);
        } else {
            newer_row = horizontal(select_lanes(band.far, up_newer, own_newer),
                                   select_lanes(band.far, up_older, own_older), weights);
            older_row = horizontal(select_lanes(band.far, up2_newer, up_newer),
                                   select_lanes(band.far, up2_older, up_older), weights);
        }
        w.two_above4 = w.two_above3;
        w.two_above3 = two_above2;
    }
    const V sum_rb = add16(mul16(newer_row.rb, band.newer_weight), mul16(older_row.rb, band.older_weight));
    const V sum_ag = add16(mul16(newer_row.ag, band.newer_weight), mul16(older_row.ag, band.older_weight));
    // The held rows keep their values.
    step = select_lanes(band.held, old, merge_rb_ag(sum_rb, sum_ag));
    w.r2 = w.r1;
    w.r1 = step;
    w.above3 = w.above2;
    w.above2 = above1;
}

// One block of steps of a band through both quadrants of a half: the two
// wavefronts share the rows and are independent, so each fills the other's
// waits.
template <Pairs kRows, Pairs kColumns, class V>
void band_block(Wavefront<V, +1>& right, Wavefront<V, -1>& left, const BandRows<V>& band, int t0) {
    constexpr int kLanes = kPixels<V>;
    load_block(right, band, t0);
    load_block(left, band, t0);
#pragma GCC unroll 16
    for (int s = 0; s < kLanes; ++s) {
        wavefront_step<kRows, kColumns>(right, band, t0, s);
        wavefront_step<kRows, kColumns>(left, band, t0, s);
    }
    store_block(right, band);
    store_block(left, band);
}

// Blocks whose lanes all read one column pair skip the per-lane choice. The
// few bands with rows that read the far pair (near the top and bottom edges)
// always choose per lane.
template <Pairs kRows, class V>
void band_pair(Wavefront<V, +1>& right, Wavefront<V, -1>& left, const BandRows<V>& band) {
    constexpr int kLanes = kPixels<V>;
    for (int t0 = 0; t0 < ColumnSteps<V>::kSteps; t0 += kLanes) {
        const Pairs right_columns = right.cols->block[t0 / kLanes];
        const Pairs columns = right_columns == left.cols->block[t0 / kLanes] ? right_columns : Pairs::mixed;
        if constexpr (kRows == Pairs::near) {
            if (columns == Pairs::near) {
                band_block<kRows, Pairs::near>(right, left, band, t0);
                continue;
            }
            if (columns == Pairs::far) {
                band_block<kRows, Pairs::far>(right, left, band, t0);
                continue;
            }
        }
        band_block<kRows, Pairs::mixed>(right, left, band, t0);
    }
}

// The lower (row_dir +1) or upper half: its right and left quadrants, band by
// band. A band holds the one or two finished rows its first row reads above
// it, then as many rows as the other lanes.
template <class V>
void wavefront_half(Pixel* page, int32_t first_row, int32_t row_dir, const AxisPairs& rows,
                    const ColumnSteps<V>& right_cols, const ColumnSteps<V>& left_cols) {
    constexpr int kLanes = kPixels<V>;
    Wavefront<V, +1> right;
    Wavefront<V, -1> left;
    right.cols = &right_cols;
    left.cols = &left_cols;
    for (int e0 = 0; e0 < kQuadrantRows;) {
        BandRows<V> band;
        band.held_rows = rows.far[e0] ? 2 : 1;
        const int working = kQuadrantRows - e0 < kLanes - band.held_rows ? kQuadrantRows - e0 : kLanes - band.held_rows;
        band.lanes_used = band.held_rows + working;
        alignas(64) uint32_t newer[kLanes] = {}, older[kLanes] = {};
        uint32_t far = 0;
        bool any_far = false, all_far = true;
        for (int r = 0; r < kLanes; ++r) {
            // The first band's held rows lie in the other half and weigh
            // nothing. Lanes past the band point at row 0 and are unused.
            const int e = e0 - band.held_rows + r;
            const bool used = r < band.lanes_used;
            const int32_t row = used ? first_row + e * row_dir : 0;
            right.row_base[r] = page + row * kPageWidth + 320;
            left.row_base[r] = page + row * kPageWidth + 319;
            if (r >= band.held_rows && used) {
                newer[r] = rows.newer_weight[e] * 0x10001u;
                older[r] = rows.older_weight[e] * 0x10001u;
                if (rows.far[e]) far |= 1u << r;
                any_far = any_far || rows.far[e];
                all_far = all_far && rows.far[e];
            }
        }
        band.newer_weight = load<V>(newer);
        band.older_weight = load<V>(older);
        band.far = lane_mask<V>(far);
        band.held = lane_mask<V>((1u << band.held_rows) - 1);
        right.r1 = right.r2 = right.above2 = right.above3 = right.two_above3 = right.two_above4 = set1<V>(0);
        left.r1 = left.r2 = left.above2 = left.above3 = left.two_above3 = left.two_above4 = set1<V>(0);
        if (!any_far) {
            band_pair<Pairs::near>(right, left, band);
        } else if (all_far) {
            band_pair<Pairs::far>(right, left, band);
        } else {
            band_pair<Pairs::mixed>(right, left, band);
        }
        e0 += working;
    }
}

// For K that passes radial_wavefront_fits (kernel_limits.h); the path table
// sends any other K elsewhere. (Should one come here, the page is left
// untouched rather than read out of order.)
template <class V> void radial_wavefront(Pixel* page, int32_t k) {
    RadialAxes axes;
    if (!radial_axes(k, axes)) return;
    ColumnSteps<V> right_steps, left_steps;
    column_steps(axes.right, right_steps);
    column_steps(axes.left, left_steps);
    // Each quadrant reads only its own pixels (with a non-zero weight), so
    // the quadrants may run in any order, or together.
    wavefront_half(page, 240, +1, axes.lower, right_steps, left_steps);
    wavefront_half(page, 239, -1, axes.upper, right_steps, left_steps);
}

}  // namespace
}  // namespace effects
