// Flip spacing for backends whose flip may not wait for the display (SDL's
// software renderer, any renderer on a virtual X server, wine's DirectDraw):
// without it the frame loop would spin flat out. Flips are kept at least one
// refresh period apart, less a millisecond, so that a real wait for the
// display is never stretched. In the caller's own clock ticks. The backends
// use it through the one pacer, flip_pacer.h.
#pragma once

#include <cstdint>

namespace platform::flip_spacing {

// The refresh rates taken as a display's own. Moving pictures are shown at
// 23.976 Hz (reported as 23 or 24) or faster; below 20 Hz a reported rate is
// a placeholder (0, or 1 from a driver that does not know), and spacing at it
// would hold each frame for up to a second. Above 1,000 Hz a period is
// shorter than the millisecond left for the display's own wait, so no real
// display is meant either.
inline constexpr int32_t kSlowestRefreshHz = 20;
inline constexpr int32_t kFastestRefreshHz = 1000;
inline constexpr int32_t kAssumedRefreshHz = 60;  // what a display is taken to run at otherwise

// The rate flips are spaced and judged late by: the reported one when it is
// plausible, else 60 Hz.
constexpr int32_t refresh_hz(int32_t reported_hz) {
    return reported_hz >= kSlowestRefreshHz && reported_hz <= kFastestRefreshHz ? reported_hz : kAssumedRefreshHz;
}

// Ticks still to wait before this flip, given the ticks since the last one
// (negative or no last flip: none), the clock's ticks per second and the
// display's reported refresh rate in Hz (see refresh_hz).
constexpr int64_t wait_ticks(int64_t since_last_flip, int64_t ticks_per_second, int32_t reported_hz) {
    const int64_t spacing = ticks_per_second / refresh_hz(reported_hz) - ticks_per_second / 1000;
    return since_last_flip >= 0 && since_last_flip < spacing ? spacing - since_last_flip : 0;
}

}  // namespace platform::flip_spacing
