// The demo clock: milliseconds since clock start, over the platform's
// millisecond timer, in unsigned 32-bit modulo arithmetic; and the lists of
// clock times that the still forms are given.
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

// A list of clock times as the still forms take it, "MS[,MS...]": each time
// whole milliseconds in decimal digits, a leading minus allowed, within signed
// 32 bits; nothing else (no blank, no plus sign, no empty item). Returns how
// many times the list holds, storing the first min(count, capacity) of them in
// times (which may be null when capacity is 0), or -1 when text is no such
// list.
int64_t parse_clock_times(const char* text, int32_t* times, int64_t capacity);

}  // namespace timing
