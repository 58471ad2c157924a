// The display's parts that only the platform seam and tests see: the window
// procedure that the backend's message dispatch calls, and the pixel format
// that open chose. Users of the display include display.h alone.
#pragma once

#include <cstdint>

#include "display/converters.h"
#include "display/display.h"
#include "platform/platform.h"

namespace display {

// The window procedure registered with the window class; the platform's
// message dispatch calls it.
intptr_t window_procedure(platform::Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// The format whose converter open chose, or null.
const convert::Format* active_format();

}  // namespace display
