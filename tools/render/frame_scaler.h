// Whole-number nearest-neighbour enlargement of a frame: every source pixel
// becomes a scale x scale block, as a copy (no filter), for the video form's
// --scale.
#pragma once

#include <cstddef>
#include <cstdint>

namespace frame_scaler {

// Writes the width x height pixels of source (rows width pixels apart)
// enlarged scale times (1 to 4) into dest, whose rows are stride bytes apart.
void enlarge(const uint32_t* source, int width, int height, int scale, uint8_t* dest, ptrdiff_t stride);

}  // namespace frame_scaler
