// The intervals between presents, for orvo --stats: a fixed histogram of
// tenth-of-a-millisecond bins (a second at most; longer gaps count as the
// last bin), so recording a frame allocates nothing and costs one add.
#pragma once

#include <cstdint>

namespace platform::present_stats {

inline constexpr int64_t kBinNs = 100000;
inline constexpr int32_t kBins = 10001;

struct Record {
    uint32_t bins[kBins];
    uint32_t frames;
    int64_t last_ns;    // the previous present's time; meaningful once frames > 0
    int64_t max_ns;     // the longest interval, exactly
    int64_t period_ns;  // the display's refresh period; an interval over 1.5 of it is late
    uint32_t late;
};

// Counts one present at now_ns (any monotonic nanosecond clock).
inline void add_present(Record* record, int64_t now_ns) {
    if (record->frames > 0) {
        const int64_t interval = now_ns > record->last_ns ? now_ns - record->last_ns : 0;
        const int64_t bin = interval / kBinNs;
        ++record->bins[bin < kBins ? bin : kBins - 1];
        if (interval > record->max_ns) record->max_ns = interval;
        if (record->period_ns > 0 && 2 * interval > 3 * record->period_ns) ++record->late;
    }
    ++record->frames;
    record->last_ns = now_ns;
}

// The interval at or below which share_per_mille of the intervals lie, in
// microseconds (the upper edge of its bin, so never under the true value by
// more than a bin); 0 with fewer than two presents.
inline uint32_t percentile_us(const Record& record, uint32_t share_per_mille) {
    if (record.frames < 2) return 0;
    const uint64_t intervals = record.frames - 1u;
    const uint64_t wanted = (intervals * share_per_mille + 999u) / 1000u;
    uint64_t seen = 0;
    for (int32_t bin = 0; bin < kBins; ++bin) {
        seen += record.bins[bin];
        if (seen >= wanted && seen > 0) {
            const int64_t edge_us = static_cast<int64_t>(bin + 1) * kBinNs / 1000;
            const int64_t max_us = record.max_ns / 1000;
            return static_cast<uint32_t>(edge_us < max_us ? edge_us : max_us);
        }
    }
    return static_cast<uint32_t>(record.max_ns / 1000);
}

// Fills the seam's presentation_stats outputs.
inline int32_t report(const Record& record, uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us,
                      uint32_t* late) {
    *frames = record.frames;
    *p50_us = percentile_us(record, 500);
    *p99_us = percentile_us(record, 990);
    *max_us = static_cast<uint32_t>(record.max_ns / 1000);
    *late = record.late;
    return 0;
}

}  // namespace platform::present_stats
