// The one pacer of the backends whose flip may not wait for the display (SDL,
// Windows under wine, the template), held in each backend's state: after each
// flip it waits out what is left of the spacing since the last present
// (flip_spacing.h), then counts this present for orvo --stats
// (present_stats.h). Counted after the wait on every backend, the intervals
// are those at which frames really left, so --stats measures the same thing
// everywhere.
#pragma once

#include <cstdint>

#include "platform/shared/flip_spacing.h"
#include "platform/shared/present_stats.h"

namespace platform::flip_pacer {

inline constexpr int64_t kNsPerSecond = 1000000000;

struct Pacer {
    present_stats::Record presents;  // its last_ns is the last present, spaced from
};

// Called by flip once the frame is handed to the display, with the refresh
// rate the display reports (any value: flip_spacing::refresh_hz judges it),
// the backend's monotonic clock in nanoseconds and its sleep of nanoseconds.
template <typename NowNs, typename SleepNs>
void after_flip(Pacer* pacer, int32_t reported_hz, NowNs now_ns, SleepNs sleep_ns) {
    present_stats::Record& presents = pacer->presents;
    const int32_t hz = flip_spacing::refresh_hz(reported_hz);
    const int64_t since = presents.frames > 0 ? now_ns() - presents.last_ns : -1;
    const int64_t wait = flip_spacing::wait_ticks(since, kNsPerSecond, hz);
    if (wait > 0) sleep_ns(wait);
    presents.period_ns = kNsPerSecond / hz;
    present_stats::add_present(&presents, now_ns());
}

// The seam's presentation_stats from what was counted.
inline int32_t report(const Pacer& pacer, uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us,
                      uint32_t* late) {
    return present_stats::report(pacer.presents, frames, p50_us, p99_us, max_us, late);
}

}  // namespace platform::flip_pacer
