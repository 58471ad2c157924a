// The display device logic: display open's attempts and fallbacks, the window
// procedure, present's activation gate and row loop, and display close.
#include "display/display_internal.h"

#include <cstdio>

namespace display {
namespace {

constexpr uint32_t kWindowStyle = 0x80080000;  // popup with a system menu; never shown by us

// The three forms of the flipping chain, tried in this order: two back
// buffers, one back buffer, then a lone primary (which has no back buffer,
// so open fails one step later).
struct SurfaceForm {
    uint32_t flags;
    uint32_t back_buffer_count;
    uint32_t caps;
};
constexpr uint32_t kFlippingCaps = platform::kCapsPrimarySurface | platform::kCapsFlip | platform::kCapsComplex |
                                   platform::kCapsVideoMemory;  // 0x4218
constexpr SurfaceForm kSurfaceForms[3] = {
    {platform::kSurfaceCaps | platform::kSurfaceBackBufferCount, 2, kFlippingCaps},
    {platform::kSurfaceCaps | platform::kSurfaceBackBufferCount, 1, kFlippingCaps},
    {platform::kSurfaceCaps, 0, platform::kCapsPrimarySurface | platform::kCapsVideoMemory},
};
constexpr int32_t kDepths[3] = {32, 24, 16};

struct DisplayState {
    platform::Handle window;
    int32_t width;
    int32_t height;
    platform::Handle back_buffer;
    int32_t active;  // written only by the window procedure
    bool gone;       // the window system went away; written only by the window procedure
    platform::Handle library;
    platform::Handle display_object;
    platform::Handle primary;
    const convert::Format* format;
    PixelConverter converter;  // the format's routine on the active path
    char failure[256];
};

DisplayState state;

int fail(const char* step) {
    const char* detail = platform::last_error();
    if (detail[0] != '\0') {
        std::snprintf(state.failure, sizeof state.failure, "%s (%s)", step, detail);
    } else {
        std::snprintf(state.failure, sizeof state.failure, "%s", step);
    }
    return 0;
}

}  // namespace

int open(const char* title, int32_t width, int32_t height) {
    state.width = width;
    state.height = height;
    state.failure[0] = '\0';
    state.gone = false;

    state.library = platform::load_display_library();
    if (!state.library) return fail("the display library can't be loaded");
    const platform::Handle entry = platform::find_display_creation_entry(state.library);
    if (!entry) return fail("the display library has no creation entry");
    if (platform::create_display_object(entry, &state.display_object) < 0) {
        return fail("the display object can't be created");
    }

    // Neither result is examined: a missing window shows up as a refused
    // cooperative level below.
    platform::register_window_class(title, window_procedure);
    state.window = platform::create_window(title, title, kWindowStyle, 0, 0, 0, 0);

    if (platform::set_exclusive_fullscreen(state.display_object, state.window) < 0) {
        return fail("exclusive fullscreen is refused");
    }

    bool mode_set = false;
    for (int32_t depth : kDepths) {
        if (platform::set_display_mode(state.display_object, width, height, depth) >= 0) {
            mode_set = true;
            break;
        }
    }
    if (!mode_set) return fail("no display mode of 32, 24 or 16 bits per pixel is accepted");

    bool created = false;
    for (const SurfaceForm& form : kSurfaceForms) {
        if (platform::create_primary_surface(state.display_object, form.flags, form.back_buffer_count, form.caps,
                                             &state.primary) >= 0) {
            created = true;
            break;
        }
    }
    if (!created) return fail("the primary surface can't be created");

    if (platform::get_back_buffer(state.primary, &state.back_buffer) < 0) {
        return fail("the primary surface has no back buffer");
    }

    uint32_t flags = 0, bit_count = 0, red = 0, green = 0, blue = 0;
    if (platform::get_pixel_format(state.primary, &flags, &bit_count, &red, &green, &blue) < 0) {
        return fail("the pixel format can't be read");
    }
    if (!(flags & platform::kPixelFormatRgb)) return fail("the pixel format is not RGB");

    // Stored even when none: present never draws without a converter.
    state.format = convert::select_format(bit_count, red, green, blue);
    state.converter = state.format ? convert::converter(*state.format) : nullptr;
    if (!state.converter) {
        std::snprintf(state.failure, sizeof state.failure,
                      "no converter for %u bits per pixel with masks 0x%X 0x%X 0x%X", bit_count, red, green, blue);
        return 0;
    }
    return 1;
}

const char* failure_reason() { return state.failure; }

const convert::Format* active_format() { return state.converter ? state.format : nullptr; }

intptr_t window_procedure(platform::Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case platform::kMessageClose: return 0;  // the demo runs on until Escape
        case platform::kMessageActivateApp: state.active = static_cast<int32_t>(wparam); return 0;
        case platform::kMessageSetCursor: platform::set_cursor_none(); return 0;
        case platform::kMessageKeyDown: return 0;  // Escape is polled by the driver, not read from messages
        case platform::kMessageEndSession:
            // Unlike a close request, nobody is asking: there is no display left to run on.
            if (wparam != 0 && !state.gone) {
                state.gone = true;
                fail("its window system went away");
            }
            return 0;
        default: return platform::default_window_procedure(window, message, wparam, lparam);
    }
}

int present(const Pixel* source) {
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    while (platform::peek_message(state.window, &message, &wparam, &lparam)) {
        platform::dispatch_message(state.window, message, wparam, lparam);
    }
    if (state.gone) return -1;

    if (!state.active) {
        platform::sleep_ms(1);
        return 1;
    }
    // After a failed open the window may still be activated; without the
    // whole chain and a converter there is nothing to draw into.
    if (!state.primary || !state.back_buffer || !state.converter) {
        platform::sleep_ms(1);
        return 0;
    }

    platform::restore_surface(state.primary);
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    if (platform::lock_surface(state.back_buffer, &bits, &pitch) < 0) return 0;

    const Pixel* source_row = source;
    uint8_t* destination_row = bits;
    for (int32_t row = 0; row < state.height; ++row) {
        state.converter(source_row, destination_row, static_cast<uint32_t>(state.width));
        source_row += state.width;
        destination_row += pitch;
    }

    platform::unlock_surface(state.back_buffer, bits);
    platform::flip(state.primary);
    platform::sleep_ms(0);
    return 1;
}

void close() {
    if (state.primary) {
        platform::release_surface(state.primary);  // ends the back buffer too
        state.primary = 0;
    }
    if (state.display_object) {
        platform::restore_display_mode(state.display_object);
        platform::set_normal_cooperative_level(state.display_object, state.window);
        platform::release_display_object(state.display_object);
        state.display_object = 0;
    }
    platform::destroy_window(state.window);
    state.window = 0;
    if (state.library) {
        platform::free_library(state.library);
        state.library = 0;
    }
}

}  // namespace display
