// The effects' AVX-512 layer: the rotozoom without gathers, the radial zoom
// as a pipeline in registers, and the overlay at 16 pixels a register. The
// shadow grid and any call the first two cannot take run the AVX2 layer.
//
// Rotozoom: a register holds a block of 4 columns by 2 rows of destination
// pixels. When the block's source positions span less than 2 px each way
// (3 |kc| + |ks| across, 3 |ks| + |kc| down: zooms above about 1.6 at any
// angle), every pixel's 2 x 2 neighbourhood lies in the 4 x 4 source box at
// the block's least (x, y), and byte permutes of that box replace the gathers
// (bilinear_box4). The box reaches 3 pixels right of and below that corner,
// so the path runs only when every source position of the page lies in
// [0, 636] x [0, 476]; then every pixel passes the range test and the 32-bit
// coordinates are the exact ones. Other calls run the AVX2 kernel.
#include "effects/effects_paths.h"
#include "effects/simd_lanes.h"

namespace effects::avx512 {
namespace {

using namespace lanes;

constexpr int64_t kOne = 65536;

int64_t magnitude(int64_t k) { return k < 0 ? -k : k; }

// A linear map over the page reaches its extremes at the corner pixels, so
// the four corners decide for every pixel (in 64 bits: no wrapping).
bool box_fits(int32_t kc, int32_t ks) {
    if (3 * magnitude(kc) + magnitude(ks) >= 2 * kOne || 3 * magnitude(ks) + magnitude(kc) >= 2 * kOne) return false;
    const int64_t columns[2] = {0 - 320, kPageWidth - 1 - 320};
    const int64_t rows[2] = {0 - 240, kPageHeight - 1 - 240};
    for (int64_t di : columns) {
        for (int64_t dj : rows) {
            const int64_t u = 0x1400000 + di * kc - dj * ks;
            const int64_t v = 0xF00000 + di * ks + dj * kc;
            if (u < 0 || u >= (kPageWidth - 3) * kOne || v < 0 || v >= (kPageHeight - 3) * kOne) return false;
        }
    }
    return true;
}

}  // namespace

void rotozoom(const Pixel* source, Pixel* destination, int32_t kc, int32_t ks) {
    if (!box_fits(kc, ks)) {
        avx2::rotozoom(source, destination, kc, ks);
        return;
    }
    const uint32_t ukc = static_cast<uint32_t>(kc);
    const uint32_t uks = static_cast<uint32_t>(ks);
    // Lane k is column k & 3 of row k >> 2 of the block.
    const __m256i lane_u =
        _mm256_setr_epi32(0, ukc, 2 * ukc, 3 * ukc, 0 - uks, ukc - uks, 2 * ukc - uks, 3 * ukc - uks);
    const __m256i lane_v = _mm256_setr_epi32(0, uks, 2 * uks, 3 * uks, ukc, uks + ukc, 2 * uks + ukc, 3 * uks + ukc);
    const __m256i step_u = _mm256_set1_epi32(static_cast<int>(4 * ukc));
    const __m256i step_v = _mm256_set1_epi32(static_cast<int>(4 * uks));
    // The lane with the least u (v): column 3 if it falls along a row, the
    // lower row if it falls down a column.
    const uint32_t lo_u = (kc < 0 ? 3 * ukc : 0u) - (ks > 0 ? uks : 0u);
    const uint32_t lo_v = (ks < 0 ? 3 * uks : 0u) + (kc < 0 ? ukc : 0u);
    // pmaddwd of a 16.16 coordinate with (0, 4) gives 4 x, with (0, 16) 16 y.
    const __m256i times4 = _mm256_set1_epi32(4 << 16);
    const __m256i times16 = _mm256_set1_epi32(16 << 16);
    for (int32_t j = 0; j < kPageHeight; j += 2) {
        const uint32_t u0 = 0x1400000u - 320u * ukc - static_cast<uint32_t>(j - 240) * uks;
        const uint32_t v0 = 0xF00000u - 320u * uks + static_cast<uint32_t>(j - 240) * ukc;
        __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u0)), lane_u);
        __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v0)), lane_v);
        uint32_t u_lo = u0 + lo_u, v_lo = v0 + lo_v;
        Pixel* out = destination + j * kPageWidth;
        for (int32_t i = 0; i < kPageWidth; i += 4, out += 4, u = _mm256_add_epi32(u, step_u),
                     v = _mm256_add_epi32(v, step_v), u_lo += 4 * ukc, v_lo += 4 * uks) {
            const uint32_t x0 = u_lo >> 16, y0 = v_lo >> 16;
            const __m256i cell4 = _mm256_sub_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(u, times4), _mm256_madd_epi16(v, times16)),
                _mm256_set1_epi32(static_cast<int>(4 * x0 + 16 * y0)));
            const __m256i blended =
                bilinear_box4(source + y0 * kPageWidth + x0, cell4, x_weight_pairs(u), y_fraction_words(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(blended));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kPageWidth), _mm256_extracti128_si256(blended, 1));
        }
    }
}

// ---- radial zoom ---------------------------------------------------------
//
// Counted in steps from the centre (column step c, row step e), a quadrant's
// pixel blends its own old value with pixels at steps (c', e'), c' <= c and
// e' <= e, already rewritten. For factors close to 1 (K from 65126 up,
// the demo's 65241 among them) those lie at most two steps back on each
// axis, so on each axis the two pixels read are this step and the one before
// ("near") or the two before ("far"), with weights that depend on the step
// alone.
//
// A band of rows then runs as a wavefront inside one register: lane r holds
// row e0 - held + r, and at step t it works on column t - r. Whatever a lane
// reads is its own old value (loaded), its own results of the last two
// steps, or results of the two lanes above it from the last four steps, all
// still in registers, shifted by a lane or two. The first lanes hold the one
// or two finished rows above the band and keep their values. Sixteen steps
// go through memory at once: skewed row loads, a transpose into steps, the
// steps, a transpose back, skewed row stores, masked to the quadrant. The
// right and left quadrants of a half run side by side, since a step waits on
// the one before it. Other factors run the AVX2 kernel.

namespace {

constexpr int kLanes = 16;
constexpr int kQuadrantCols = kPageWidth / 2;
constexpr int kQuadrantRows = kPageHeight / 2;
// The last lane reaches column 319 at step 334: 21 blocks of 16 steps.
constexpr int kBandSteps = kQuadrantCols + kLanes;

// One axis of a quadrant, per step from the centre: whether the blend reads
// the far pair, and the weights of the pair's newer and older step.
struct AxisPairs {
    bool far[kQuadrantCols];
    uint32_t newer_weight[kQuadrantCols];
    uint32_t older_weight[kQuadrantCols];
};

// `count` steps from memory index `first` in direction dir, the 16.16
// coordinate starting at coord and moving by step. False if some step reads,
// with a non-zero weight, a pixel ahead of it, more than two steps back or
// outside the quadrant.
bool axis_pairs(int32_t first, int32_t dir, uint32_t coord, uint32_t step, int count, AxisPairs& pairs) {
    for (int32_t c = 0; c < count; ++c, coord += step) {
        const int32_t x = static_cast<int32_t>(coord >> 16);
        const uint32_t f = (coord >> 12) & 15u;
        const int32_t at[2] = {(x - first) * dir, (x + 1 - first) * dir};
        const uint32_t weight[2] = {16 - f, f};
        bool far = false;
        for (int n = 0; n < 2; ++n) far = far || (weight[n] != 0 && at[n] < c - 1);
        const int32_t newer = far ? c - 1 : c;
        uint32_t newer_weight = 0, older_weight = 0;
        for (int n = 0; n < 2; ++n) {
            if (weight[n] == 0) continue;
            if (at[n] == newer) {
                newer_weight += weight[n];
            } else if (at[n] == newer - 1 && at[n] >= 0) {
                older_weight += weight[n];
            } else {
                return false;
            }
        }
        pairs.far[c] = far;
        pairs.newer_weight[c] = newer_weight;
        pairs.older_weight[c] = older_weight;
    }
    return true;
}

// Which pair the lanes of a band or of a block of 16 steps read: all the
// near one, all the far one, or some of each.
enum class Pairs { near, far, mixed };

// The column pairs of one half by step of the wavefront. Lane r at step t is
// on column t - r, so the weights are kept in reverse (index kBandSteps - 1 -
// column, columns -16 to 335) and one load at kBandSteps - 1 - t gives all
// lanes theirs: the byte pairs (newer, older) twice. Columns outside the
// quadrant weigh nothing. far[t] has bit r set where lane r reads the far
// pair at step t.
struct ColumnSteps {
    uint32_t weights[kBandSteps + kLanes];
    __mmask16 far[kBandSteps];
    Pairs block[kBandSteps / kLanes];
};

void column_steps(const AxisPairs& pairs, ColumnSteps& steps) {
    for (int j = 0; j < kBandSteps + kLanes; ++j) {
        const int c = kBandSteps - 1 - j;
        const bool inside = c >= 0 && c < kQuadrantCols;
        const uint32_t pair = inside ? pairs.newer_weight[c] | pairs.older_weight[c] << 8 : 0;
        steps.weights[j] = pair * 0x10001u;
    }
    // Lanes off the quadrant's columns compute nothing that is kept; they
    // take the nearest column's pair, so that most blocks read one pair only.
    for (int t = 0; t < kBandSteps; ++t) {
        uint32_t far = 0;
        for (int r = 0; r < kLanes; ++r) {
            const int c = t - r;
            if (pairs.far[c < 0 ? 0 : c >= kQuadrantCols ? kQuadrantCols - 1 : c]) far |= 1u << r;
        }
        steps.far[t] = static_cast<__mmask16>(far);
    }
    for (int b = 0; b < kBandSteps / kLanes; ++b) {
        bool any_near = false, any_far = false;
        for (int t = b * kLanes; t < (b + 1) * kLanes; ++t) {
            any_near = any_near || steps.far[t] != 0xFFFF;
            any_far = any_far || steps.far[t] != 0;
        }
        steps.block[b] = any_far ? (any_near ? Pairs::mixed : Pairs::far) : Pairs::near;
    }
}

// GCC 12 warns of the undefined pass-through operand of the unmasked forms
// of these; the zero-masking forms with every lane set compile to the same
// instructions.
constexpr __mmask16 kAll16 = 0xFFFF;
constexpr __mmask8 kAll8 = 0xFF;
inline __m512i unpacklo32(__m512i a, __m512i b) { return _mm512_maskz_unpacklo_epi32(kAll16, a, b); }
inline __m512i unpackhi32(__m512i a, __m512i b) { return _mm512_maskz_unpackhi_epi32(kAll16, a, b); }
inline __m512i unpacklo64(__m512i a, __m512i b) { return _mm512_maskz_unpacklo_epi64(kAll8, a, b); }
inline __m512i unpackhi64(__m512i a, __m512i b) { return _mm512_maskz_unpackhi_epi64(kAll8, a, b); }
template <int kImm> inline __m512i shuffle128(__m512i a, __m512i b) {
    return _mm512_maskz_shuffle_i32x4(kAll16, a, b, kImm);
}
template <int kBits> inline __m512i shl_epi32(__m512i a) { return _mm512_maskz_slli_epi32(kAll16, a, kBits); }
template <int kBits> inline __m512i shr_epi32(__m512i a) { return _mm512_maskz_srli_epi32(kAll16, a, kBits); }
template <int kBits> inline __m512i shr_epi16(__m512i a) { return _mm512_maskz_srli_epi16(~__mmask32{0}, a, kBits); }

// In place: row k of the 16 x 16 block becomes column k.
inline void transpose16(__m512i (&m)[kLanes]) {
    __m512i a[kLanes], b[kLanes];
    for (int i = 0; i < kLanes; i += 2) {
        a[i] = unpacklo32(m[i], m[i + 1]);
        a[i + 1] = unpackhi32(m[i], m[i + 1]);
    }
    for (int i = 0; i < kLanes; i += 4) {
        b[i] = unpacklo64(a[i], a[i + 2]);
        b[i + 1] = unpackhi64(a[i], a[i + 2]);
        b[i + 2] = unpacklo64(a[i + 1], a[i + 3]);
        b[i + 3] = unpackhi64(a[i + 1], a[i + 3]);
    }
    // b[4g + k] holds, in its 128-bit lane L, column 4L + k of rows 4g..4g+3.
    for (int k = 0; k < 4; ++k) {
        const __m512i lo01 = shuffle128<0x44>(b[k], b[4 + k]);
        const __m512i hi01 = shuffle128<0xEE>(b[k], b[4 + k]);
        const __m512i lo23 = shuffle128<0x44>(b[8 + k], b[12 + k]);
        const __m512i hi23 = shuffle128<0xEE>(b[8 + k], b[12 + k]);
        m[k] = shuffle128<0x88>(lo01, lo23);
        m[4 + k] = shuffle128<0xDD>(lo01, lo23);
        m[8 + k] = shuffle128<0x88>(hi01, hi23);
        m[12 + k] = shuffle128<0xDD>(hi01, hi23);
    }
}

// Lane r takes lane r - 1 (lane 0 takes lane 15 and is never read).
inline __m512i lane_down(__m512i x) { return _mm512_maskz_alignr_epi32(kAll16, x, x, 15); }

// Bits [first, last) of a 16-bit mask, clamped to it.
inline __mmask16 bit_range(int first, int last) {
    first = first < 0 ? 0 : first;
    last = last > kLanes ? kLanes : last;
    return first >= last ? __mmask16{0} : static_cast<__mmask16>((1u << last) - (1u << first));
}

// Byte pairs of the newer and older pixel of each channel, blue and red in
// one register, green and the top byte in the other, weighted by maddubs.
struct Horizontal {
    __m512i rb, ag;
};

inline Horizontal horizontal(__m512i newer, __m512i older, __m512i weights) {
    const __m512i low_bytes = _mm512_set1_epi32(0x00FF00FF);
    // 0xE4: c ? a : b, bit by bit.
    const __m512i rb = _mm512_ternarylogic_epi32(newer, shl_epi32<8>(older), low_bytes, 0xE4);
    const __m512i ag = _mm512_ternarylogic_epi32(shr_epi32<8>(newer), older, low_bytes, 0xE4);
    return {_mm512_maddubs_epi16(rb, weights), _mm512_maddubs_epi16(ag, weights)};
}

// What stays the same for a band: its rows' weights (words twice per lane),
// which rows read the far pair, and which lanes are held rows.
struct BandRows {
    __m512i newer_weight, older_weight;
    __mmask16 far, held;
    int lanes_used;
};

// One quadrant's wavefront through a band: lane r's row at the quadrant's
// first column, its column pairs, and the results of the last steps (r1 of
// step t - 1, ...), also moved down one lane (the row above) and two.
template <int kColDir>
struct Wavefront {
    Pixel* row_base[kLanes];
    const ColumnSteps* cols;
    __m512i block[kLanes];
    __mmask16 columns[kLanes];
    Pixel* at[kLanes];
    __m512i r1, r2, above2, above3, two_above3, two_above4;
};

// Lane r's element k is column t0 - r + k (kColDir > 0) or t0 - r + 15 - k,
// in memory order either way; columns outside the quadrant are left alone.
template <int kColDir>
void load_block(Wavefront<kColDir>& w, const BandRows& band, int t0) {
    for (int r = 0; r < kLanes; ++r) {
        const int c0 = t0 - r;
        w.columns[r] = r < band.lanes_used ? (kColDir > 0 ? bit_range(-c0, kQuadrantCols - c0)
                                                          : bit_range(c0 + kLanes - kQuadrantCols, c0 + kLanes))
                                           : __mmask16{0};
        const intptr_t offset = kColDir > 0 ? c0 : -c0 - (kLanes - 1);
        w.at[r] = reinterpret_cast<Pixel*>(reinterpret_cast<intptr_t>(w.row_base[r]) +
                                           offset * static_cast<intptr_t>(sizeof(Pixel)));
        w.block[r] = w.columns[r] == kAll16 ? _mm512_loadu_si512(w.at[r])
                                            : _mm512_maskz_loadu_epi32(w.columns[r], w.at[r]);
    }
    transpose16(w.block);
}

template <int kColDir>
void store_block(Wavefront<kColDir>& w, const BandRows& band) {
    transpose16(w.block);
    for (int r = 0; r < band.lanes_used; ++r) {
        if (band.held & (1u << r)) continue;
        if (w.columns[r] == kAll16) {
            _mm512_storeu_si512(w.at[r], w.block[r]);
        } else {
            _mm512_mask_storeu_epi32(w.at[r], w.columns[r], w.block[r]);
        }
    }
}

// Step t0 + s: every lane's pixel, from its old value and the results kept.
template <Pairs kRows, Pairs kColumns, int kColDir>
inline void wavefront_step(Wavefront<kColDir>& w, const BandRows& band, int t0, int s) {
    const int t = t0 + s;
    __m512i& step = w.block[kColDir > 0 ? s : kLanes - 1 - s];
    const __mmask16 far = kColumns == Pairs::near  ? __mmask16{0}
                          : kColumns == Pairs::far ? kAll16
                                                   : w.cols->far[t];
    const __m512i weights = _mm512_loadu_si512(w.cols->weights + kBandSteps - 1 - t);
    const __m512i old = step;
    const __m512i above1 = lane_down(w.r1);
    // This row and the row above, at the column pair.
    const __m512i own_newer = _mm512_mask_blend_epi32(far, old, w.r1);
    const __m512i own_older = _mm512_mask_blend_epi32(far, w.r1, w.r2);
    const __m512i up_newer = _mm512_mask_blend_epi32(far, above1, w.above2);
    const __m512i up_older = _mm512_mask_blend_epi32(far, w.above2, w.above3);
    Horizontal newer_row, older_row;
    if constexpr (kRows == Pairs::near) {
        newer_row = horizontal(own_newer, own_older, weights);
        older_row = horizontal(up_newer, up_older, weights);
    } else {
        const __m512i two_above2 = lane_down(w.above2);
        const __m512i up2_newer = _mm512_mask_blend_epi32(far, two_above2, w.two_above3);
        const __m512i up2_older = _mm512_mask_blend_epi32(far, w.two_above3, w.two_above4);
        if constexpr (kRows == Pairs::far) {
            newer_row = horizontal(up_newer, up_older, weights);
            older_row = horizontal(up2_newer, up2_older, weights);
        } else {
            newer_row = horizontal(_mm512_mask_blend_epi32(band.far, own_newer, up_newer),
                                   _mm512_mask_blend_epi32(band.far, own_older, up_older), weights);
            older_row = horizontal(_mm512_mask_blend_epi32(band.far, up_newer, up2_newer),
                                   _mm512_mask_blend_epi32(band.far, up_older, up2_older), weights);
        }
        w.two_above4 = w.two_above3;
        w.two_above3 = two_above2;
    }
    const __m512i sum_rb = _mm512_add_epi16(_mm512_mullo_epi16(newer_row.rb, band.newer_weight),
                                            _mm512_mullo_epi16(older_row.rb, band.older_weight));
    const __m512i sum_ag = _mm512_add_epi16(_mm512_mullo_epi16(newer_row.ag, band.newer_weight),
                                            _mm512_mullo_epi16(older_row.ag, band.older_weight));
    // (rb >> 8) | (ag AND 0xFF00FF00); the held rows keep their values.
    const __m512i blended = _mm512_ternarylogic_epi32(_mm512_srli_epi16(sum_rb, 8), sum_ag,
                                                      _mm512_set1_epi32(static_cast<int>(0xFF00FF00u)), 0xF8);
    step = _mm512_mask_blend_epi32(band.held, blended, old);
    w.r2 = w.r1;
    w.r1 = step;
    w.above3 = w.above2;
    w.above2 = above1;
}

// Sixteen steps of a band through both quadrants of a half: the two
// wavefronts share the rows and are independent, so each fills the other's
// waits.
template <Pairs kRows, Pairs kColumns>
void band_block(Wavefront<+1>& right, Wavefront<-1>& left, const BandRows& band, int t0) {
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
template <Pairs kRows>
void radial_band_pair(Wavefront<+1>& right, Wavefront<-1>& left, const BandRows& band) {
    for (int t0 = 0; t0 < kBandSteps; t0 += kLanes) {
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
// it, then up to 15 or 14 rows.
void radial_half(Pixel* page, int32_t first_row, int32_t row_dir, const AxisPairs& rows, const ColumnSteps& right_cols,
                 const ColumnSteps& left_cols) {
    Wavefront<+1> right;
    Wavefront<-1> left;
    right.cols = &right_cols;
    left.cols = &left_cols;
    for (int e0 = 0; e0 < kQuadrantRows;) {
        const int held = rows.far[e0] ? 2 : 1;
        const int working = kQuadrantRows - e0 < kLanes - held ? kQuadrantRows - e0 : kLanes - held;
        BandRows band;
        band.lanes_used = held + working;
        band.held = static_cast<__mmask16>((1u << held) - 1);
        alignas(64) uint32_t newer[kLanes] = {}, older[kLanes] = {};
        uint32_t far_rows = 0;
        for (int r = 0; r < kLanes; ++r) {
            // The first band's held rows lie in the other half and weigh
            // nothing. Lanes past the band point at row 0 and are unused.
            const int e = e0 - held + r;
            const bool used = r < band.lanes_used;
            const int32_t row = used ? first_row + e * row_dir : 0;
            right.row_base[r] = page + row * kPageWidth + 320;
            left.row_base[r] = page + row * kPageWidth + 319;
            if (r >= held && used) {
                newer[r] = rows.newer_weight[e] * 0x10001u;
                older[r] = rows.older_weight[e] * 0x10001u;
                if (rows.far[e]) far_rows |= 1u << r;
            }
        }
        band.newer_weight = _mm512_load_si512(newer);
        band.older_weight = _mm512_load_si512(older);
        band.far = static_cast<__mmask16>(far_rows);
        const __m512i zero = _mm512_setzero_si512();
        right.r1 = right.r2 = right.above2 = right.above3 = right.two_above3 = right.two_above4 = zero;
        left.r1 = left.r2 = left.above2 = left.above3 = left.two_above3 = left.two_above4 = zero;
        const uint32_t working_lanes = ((1u << working) - 1) << held;
        if (far_rows == 0) {
            radial_band_pair<Pairs::near>(right, left, band);
        } else if (far_rows == working_lanes) {
            radial_band_pair<Pairs::far>(right, left, band);
        } else {
            radial_band_pair<Pairs::mixed>(right, left, band);
        }
        e0 += working;
    }
}

}  // namespace

void radial_zoom(Pixel* page, int32_t k) {
    const uint32_t uk = static_cast<uint32_t>(k);
    const uint32_t minus_k = 0u - uk;
    AxisPairs right, left, lower, upper;
    if (!axis_pairs(320, +1, 0x1400000u, uk, kQuadrantCols, right) ||
        !axis_pairs(319, -1, 0x13F0000u, minus_k, kQuadrantCols, left) ||
        !axis_pairs(240, +1, 0xF00000u, uk, kQuadrantRows, lower) ||
        !axis_pairs(239, -1, 0xF00000u - uk, minus_k, kQuadrantRows, upper)) {
        avx2::radial_zoom(page, k);
        return;
    }
    ColumnSteps right_steps, left_steps;
    column_steps(right, right_steps);
    column_steps(left, left_steps);
    // Each quadrant reads only its own pixels (with a non-zero weight), so
    // the quadrants may run in any order, or together.
    radial_half(page, 240, +1, lower, right_steps, left_steps);
    radial_half(page, 239, -1, upper, right_steps, left_steps);
}

// The overlay of effects_kernels.h at 16 pixels a register, its merge in one
// ternary-logic operation: 14 operations per 16 pixels.
void alpha_overlay(const Pixel* source, Pixel* destination) {
    const __m512i full = _mm512_set1_epi32(0x01000100);  // 256 in both words
    const __m512i rb_mask = _mm512_set1_epi32(0x00FF00FF);
    const __m512i g_result = _mm512_set1_epi32(0x0000FF00);
    // Each pixel's top byte in both of its 16-bit words.
    const __m512i alpha_bytes = _mm512_set4_epi32(static_cast<int>(0xFF0FFF0Fu), static_cast<int>(0xFF0BFF0Bu),
                                                  static_cast<int>(0xFF07FF07u), static_cast<int>(0xFF03FF03u));
    for (int32_t n = 0; n < kPagePixels; n += kLanes) {
        const __m512i s = _mm512_loadu_si512(source + n);
        const __m512i d = _mm512_loadu_si512(destination + n);
        const __m512i a = _mm512_shuffle_epi8(s, alpha_bytes);
        const __m512i b = _mm512_sub_epi16(full, a);
        const __m512i rb = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_and_si512(s, rb_mask), a),
                                            _mm512_mullo_epi16(_mm512_and_si512(d, rb_mask), b));
        const __m512i ag = _mm512_add_epi16(_mm512_mullo_epi16(shr_epi16<8>(s), a), _mm512_mullo_epi16(shr_epi16<8>(d), b));
        // (rb >> 8) | (ag AND 0x0000FF00)
        _mm512_storeu_si512(destination + n, _mm512_ternarylogic_epi32(shr_epi16<8>(rb), ag, g_result, 0xF8));
    }
}

}  // namespace effects::avx512
