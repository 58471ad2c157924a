// Flip spacing for backends whose flip may not wait for the display (SDL's
// software renderer, any renderer on a virtual X server, wine's DirectDraw):
// without it the frame loop would spin flat out. Flips are kept at least one
// refresh period apart, less a millisecond, so that a real wait for the
// display is never stretched. In the caller's own clock ticks.
#pragma once

#include <cstdint>

namespace platform::flip_spacing {

// Ticks still to wait before this flip, given the ticks since the last one
// (negative or no last flip: none), the clock's ticks per second and the
// display's refresh rate in Hz (0 or 1 when unknown: 60 is assumed).
constexpr int64_t wait_ticks(int64_t since_last_flip, int64_t ticks_per_second, int32_t refresh_hz) {
    const int64_t rate = refresh_hz > 1 ? refresh_hz : 60;
    const int64_t spacing = ticks_per_second / rate - ticks_per_second / 1000;
    return since_last_flip >= 0 && since_last_flip < spacing ? spacing - since_last_flip : 0;
}

}  // namespace platform::flip_spacing
