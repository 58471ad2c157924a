// The one-line progress bar that orvo-render redraws in place on a terminal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace progress {

// Writes into line (NUL-terminated, cut to size) e.g.
// "[=========>          ]  312/600 frames  94.1 fps  0:03 left":
// done of total frames, elapsed_seconds spent on them.
void format(char* line, size_t size, int64_t done, int64_t total, double elapsed_seconds);

}  // namespace progress
