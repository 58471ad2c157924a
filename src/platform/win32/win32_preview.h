// The screensaver preview on Windows (orvo.scr /p HWND): the display seam's
// calls answered with GDI instead of DirectDraw, drawing into a child window
// that covers the preview window's client area (the settings dialog's little
// screen), the picture letterboxed to it as it is, whatever its size. Each
// function is the seam function of the same name for that case; the win32
// backend hands over to it when the window is given (kPresentInWindow).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform::preview {

Handle load_display_library();
Handle find_display_creation_entry(Handle library);
int32_t create_display_object(Handle entry, Handle* object);
Handle create_window(uintptr_t parent, const char* class_name, const char* title, char* error, int error_size);
int32_t set_display_mode(int32_t width, int32_t height, int32_t bits_per_pixel, char* error, int error_size);
int32_t create_primary_surface(Handle* primary);
int32_t get_back_buffer(Handle primary, Handle* back_buffer);
int32_t get_pixel_format(uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask);
int32_t lock_surface(uint8_t** bits, int32_t* pitch);
// Shows the back buffer in the child window, following the preview
// window's size.
int32_t flip();
// True once the preview window is gone (the dialog closed or moved on).
bool parent_gone();

}  // namespace platform::preview
