// Pictures: the JPEG file decoder, the two slot loaders and the page
// resampler. Loading runs only at start-up. Every failure is fatal: one line
// on stderr, then exit code 1, with no shut-down step.
#pragma once

#include <cstdint>

#include "driver/frame_store.h"

namespace image {

// Decodes the JPEG file at path into one malloc'd buffer of height rows of
// 3 * width bytes, bottom-up (picture row r at buffer row height - 1 - r):
// R, G, B per pixel for a colour file, or one grey byte per pixel at the start
// of each row for a greyscale file (*components says which: 3 or 1). The
// caller owns the buffer and frees it with free(). Returns only on success.
uint8_t* decode_jpeg_file(const char* path, int32_t* width, int32_t* height, int* components);

// Loads a colour JPEG into slot (0..255): frees the slot's previous array,
// decodes, packs each pixel as R << 16 | G << 8 | B with a zero top byte.
void load_colour_image(const char* path, int slot);

// As load_colour_image, then ORs the mask's grey levels into the top byte of
// every pixel as its alpha (0 transparent, 255 opaque).
void load_colour_image_with_alpha_mask(const char* colour_path, const char* mask_path, int slot);

// Fills page (0..3) from a loaded slot: a 640 x 480 slot is copied, any other
// size is resampled bilinearly on 16.16 steps with the shared two-lane blend.
void resample_slot_into_page(int slot, int page);

}  // namespace image
