// The demo clock over the platform's millisecond timer.
#include "platform/platform.h"
#include "timing/timing.h"

namespace timing {
namespace {

struct ClockState {
    uint32_t base;
};

ClockState state;

}  // namespace

void clock_start() {
    // The resolution request is withdrawn at once: none stays in force
    // while the demo runs. Both results are ignored.
    platform::timer_period_begin(1);
    platform::timer_period_end(1);
    state.base = platform::timer_ms();
}

uint32_t clock_elapsed() { return platform::timer_ms() - state.base; }

}  // namespace timing
