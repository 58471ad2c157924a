// The preview's frame is one fixed 32-bit buffer of the page's size, shown
// with StretchDIBits; nothing of DirectDraw is loaded, so a preview never
// takes the display from the dialog it sits in.
#define WIN32_LEAN_AND_MEAN
#include "platform/win32/win32_preview.h"

#include <windows.h>

#include <cstdio>

namespace platform::preview {
namespace {

// Fixed handles: there is one of each object.
constexpr Handle kLibrary = 0x11;
constexpr Handle kCreationEntry = 0x12;
constexpr Handle kDisplayObject = 0x13;
constexpr Handle kPrimary = 0x15;
constexpr Handle kBackBuffer = 0x16;

constexpr int32_t kMaxWidth = 640;
constexpr int32_t kMaxHeight = 480;

struct PreviewState {
    HWND parent;
    HWND child;
    int32_t width;
    int32_t height;
    uint32_t pixels[kMaxWidth * kMaxHeight];
};

PreviewState state;

}  // namespace

Handle load_display_library() { return kLibrary; }
Handle find_display_creation_entry(Handle library) { return library == kLibrary ? kCreationEntry : 0; }

int32_t create_display_object(Handle entry, Handle* object) {
    if (entry != kCreationEntry) return -1;
    *object = kDisplayObject;
    return 0;
}

Handle create_window(uintptr_t parent, const char* class_name, const char* title, char* error, int error_size) {
    state.parent = reinterpret_cast<HWND>(parent);
    RECT area{};
    if (!IsWindow(state.parent) || !GetClientRect(state.parent, &area)) {
        std::snprintf(error, static_cast<size_t>(error_size), "there is no window %llu to preview in",
                      static_cast<unsigned long long>(parent));
        return 0;
    }
    state.child = CreateWindowExA(0, class_name, title, WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                                  state.parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!state.child) std::snprintf(error, static_cast<size_t>(error_size), "CreateWindowExA (preview) failed");
    return reinterpret_cast<Handle>(state.child);
}

int32_t set_display_mode(int32_t width, int32_t height, int32_t bits_per_pixel, char* error, int error_size) {
    if (bits_per_pixel != 32 || width <= 0 || height <= 0 || width > kMaxWidth || height > kMaxHeight) {
        std::snprintf(error, static_cast<size_t>(error_size), "the preview draws 32-bit pictures up to %dx%d",
                      kMaxWidth, kMaxHeight);
        return -1;
    }
    state.width = width;
    state.height = height;
    return 0;
}

int32_t create_primary_surface(Handle* primary) {
    *primary = kPrimary;
    return 0;
}

int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    if (primary != kPrimary) return -1;
    *back_buffer = kBackBuffer;
    return 0;
}

int32_t get_pixel_format(uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    *flags = kPixelFormatRgb;
    *bit_count = 32;
    *red_mask = 0xFF0000;
    *green_mask = 0xFF00;
    *blue_mask = 0xFF;
    return 0;
}

int32_t lock_surface(uint8_t** bits, int32_t* pitch) {
    *bits = reinterpret_cast<uint8_t*>(state.pixels);
    *pitch = state.width * 4;
    return 0;
}

int32_t flip() {
    RECT area{};
    if (!GetClientRect(state.parent, &area)) return -1;
    RECT own{};
    GetClientRect(state.child, &own);
    if (own.right != area.right || own.bottom != area.bottom) {
        MoveWindow(state.child, 0, 0, area.right, area.bottom, FALSE);
    }
    // The largest rectangle of the picture's shape that fits, centred; black around.
    const int64_t w = area.right, h = area.bottom;
    const int64_t fit_w = w * state.height <= h * state.width ? w : h * state.width / state.height;
    const int64_t fit_h = w * state.height <= h * state.width ? w * state.height / state.width : h;
    const int x = static_cast<int>((w - fit_w) / 2), y = static_cast<int>((h - fit_h) / 2);
    HDC dc = GetDC(state.child);
    if (!dc) return -1;
    PatBlt(dc, 0, 0, x, static_cast<int>(h), BLACKNESS);
    PatBlt(dc, x + static_cast<int>(fit_w), 0, static_cast<int>(w), static_cast<int>(h), BLACKNESS);
    PatBlt(dc, 0, 0, static_cast<int>(w), y, BLACKNESS);
    PatBlt(dc, 0, y + static_cast<int>(fit_h), static_cast<int>(w), static_cast<int>(h), BLACKNESS);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = state.width;
    info.bmiHeader.biHeight = -state.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, x, y, static_cast<int>(fit_w), static_cast<int>(fit_h), 0, 0, state.width, state.height,
                  state.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(state.child, dc);
    return 0;
}

bool parent_gone() { return !IsWindow(state.parent); }

}  // namespace platform::preview
