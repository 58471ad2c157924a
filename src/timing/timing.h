// The demo clock: milliseconds since clock start, over the platform's
// millisecond timer, in unsigned 32-bit modulo arithmetic.
#pragma once

#include <cstdint>

namespace timing {

// Called once by the driver at start-up, before the music starts: takes the
// current timer reading as the clock base. Every run begins at t = 0.
void clock_start();

// Called by the frame loop at the start of every frame: (timer reading -
// clock base) modulo 2^32. The caller reads it as a signed 32-bit t; it stays
// right across the timer's wrap for up to 2^32 ms.
uint32_t clock_elapsed();

}  // namespace timing
