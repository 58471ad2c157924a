// Pictures: the JPEG file decoder, the two slot loaders and the page
// resampler. Loading runs only at start-up.
//
// Error rule for the whole subsystem: nothing here returns a failure. A file
// that can't be opened, allocated for, decoded or used ends the process with
// one line on stderr (the library's own message for its fatal errors, the
// file's name and the reason for a picture we refuse) and exit code 1, with no
// shut-down step. Damage the library can pass over is not fatal: the first
// warning of each file is shown, later ones are only counted.
//
// Refused on purpose, right after a file's header is read and before anything
// large is allocated: a side above kMaxPictureSide, a picture whose slot would
// take more than INT32_MAX bytes, and any file that doesn't decode to one
// (grey) or three (colour) bytes per pixel, such as CMYK or YCCK.
#pragma once

#include <cstdint>

#include "core/frame_store.h"

namespace image {

// Largest side we accept: the resampler's 16.16 arithmetic holds side * 65536
// in a signed 32-bit integer.
inline constexpr int32_t kMaxPictureSide = 32767;

// What the decoder delivers. kFileSamples keeps every decompression parameter
// as the file's header sets it: RGB for a colour file, one grey byte per pixel
// for a greyscale one. kLuminance asks the library for greyscale output from
// either kind, so a colour file arrives as its luminance (the mask's need).
enum DecodeAs { kFileSamples, kLuminance };

// Decodes the JPEG file at path into one malloc'd buffer of height rows of
// 3 * width bytes, bottom-up (picture row r at buffer row height - 1 - r):
// R, G, B per pixel for a colour file, or one grey byte per pixel at the start
// of each row (the rest of the row unwritten) for a greyscale file or
// kLuminance; *components says which: 3 or 1. The caller owns the buffer and
// frees it with free(). Returns only on success.
uint8_t* decode_jpeg_file(const char* path, DecodeAs as, int32_t* width, int32_t* height, int* components);

// Loads a JPEG into slot (0..255, not checked): frees the slot's previous
// array, decodes, packs each pixel as R << 16 | G << 8 | B with a zero top
// byte into a new array the slot owns. A greyscale file gives R = G = B.
void load_colour_image(const char* path, int slot);

// As load_colour_image, then ORs the mask's grey levels into the top byte of
// every pixel as its alpha (0 transparent, 255 opaque). A colour mask gives
// its luminance. The mask must have the picture's width and height.
void load_colour_image_with_alpha_mask(const char* colour_path, const char* mask_path, int slot);

// Fills page (0..3, not checked) from a loaded slot: a 640 x 480 slot is
// copied, any other size is resampled bilinearly on 16.16 steps with the
// shared two-lane blend. Sides of 1 are fine (the missing neighbour has weight
// 0 and is read from the last column or row instead). A slot with no picture,
// or with a side outside 1..kMaxPictureSide, is fatal like a bad file.
void resample_slot_into_page(int slot, int page);

// The subsystem's one way out on failure: prints the formatted line (which
// must end in a newline) to stderr and ends the process with exit code 1.
// Its callers release what they hold first (the library, the file, buffers;
// a slot holds a whole picture or none), so a program that links a fail() of its
// own which returns to a known point, as the fuzz targets do, loses nothing.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace image
