// The frame store: four fixed 640 x 480 pages of 32-bit pixels in one
// contiguous zero-initialised block, the screen reference and the table of
// 256 decoded pictures. Everything here lives for the whole run.
#pragma once

#include <cstdint>

// 0xAARRGGBB: blue bits 0-7, green 8-15, red 16-23, top byte (alpha in the
// overlay picture) 24-31. In memory: blue, green, red, top byte.
using Pixel = uint32_t;

inline constexpr int32_t kPageWidth = 640;
inline constexpr int32_t kPageHeight = 480;
inline constexpr int32_t kPagePixels = kPageWidth * kPageHeight;  // 307,200
inline constexpr int kPageCount = 4;
inline constexpr int kSlotCount = 256;

// A decoded picture of any size, top-down, stride = width. The slot owns
// pixels (malloc'd by its loader, freed by the next load or free_slots()).
struct ImageSlot {
    int32_t width;
    int32_t height;
    Pixel* pixels;
};

namespace frame_store {

// The pages' roles, by number.
inline constexpr int kScreenPage = 0;          // composed and presented
inline constexpr int kOverlayPage = 1;         // the alpha-masked picture
inline constexpr int kRotozoomTargetPage = 2;  // the rotozoomer's output
inline constexpr int kPicturePage = 3;         // the picture that is rotozoomed

// Start of page n (one of the roles above); page n begins n * kPagePixels
// after page 0. n must be 0..3.
Pixel* page(int n);

// The page that is composed and presented. Null until point_screen_at_page0().
Pixel* screen();
// Points the screen reference at the screen page.
void point_screen_at_page0();

// Sets all 307,200 pixels of the page to 0.
void clear_page(Pixel* page);

// Slot i, 0..255; the reference stays valid for the whole run.
ImageSlot& slot(int index);

// Sets every slot's pixels pointer to null, in slot order; sizes are kept.
void clear_slots();

// Frees every non-null pixel array. Pointers are not reset: the only caller
// is shut-down, right before the process ends.
void free_slots();

}  // namespace frame_store
