// The display device: the window, the exclusive fullscreen display with its
// flipping chain, the message pump and the per-frame presentation of the
// screen page through the converter chosen at open. All of it on the
// program's one thread, over the platform seam.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace display {

// Called once by the driver at start-up. title names both the window class
// and the window. Returns 1 when the display is open with a converter for its
// pixel format, 0 when a step failed; whatever was acquired before the
// failing step stays held until close().
int open(const char* title, int32_t width, int32_t height);

// Why the last open() returned 0, or present() -1, as fixed text owned by the
// display ("the display mode can't be set (...)"); "" after a successful open.
const char* failure_reason();

// Called by the driver once at start-up and once per frame. Handles every
// pending window message, then, if the program is the active application and
// the display is open, converts height rows of width pixels from source into
// the back buffer and flips. Returns 0 when the back buffer can't be locked
// (or the display never opened), otherwise 1; -1, drawing nothing, once the
// window system has gone away (its connection broke), with failure_reason()
// saying why: the display can't come back, so the run has to end.
int present(const Pixel* source);

// Called once at shut-down: releases what open() acquired, in order, and
// always destroys the window.
void close();

}  // namespace display
