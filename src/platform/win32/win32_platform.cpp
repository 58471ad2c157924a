// The Windows backend: the platform seam on the calls it was shaped after.
// DirectDraw (loaded at run time from ddraw.dll, first-version interfaces)
// for the display, user32 for the window, its messages and the Escape key,
// winmm for the millisecond timer, and libopenmpt mixing the song into a few
// small waveOut buffers from a thread of its own.
//
// This is a 64-bit build: each structure's dwSize is its size here, not the
// 32-bit size (108 for a surface description) that DirectDraw would refuse.
#define WIN32_LEAN_AND_MEAN
#include <ddraw.h>
#include <libopenmpt/libopenmpt.h>
#include <mmsystem.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/openmpt/song_file.h"
#include "platform/platform.h"
#include "platform/shared/flip_pacer.h"
#include "platform/win32/win32_preview.h"

namespace platform {
namespace {

using DirectDrawCreateFunction = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

constexpr int kOutputChannels = 2;
constexpr int kOutputBuffers = 4;
// 1,024 frames are 23 ms at 44,100 Hz: four of them keep wine's and
// Windows' mixers fed while a stop is never more than a buffer away.
constexpr int kBufferFrames = 1024;

struct Win32State {
    char error[256];
    std::atomic<bool> stop_signal;

    WindowProcedure procedure;
    flip_pacer::Pacer pacer;  // spaces the flips and counts them for orvo --stats
    bool refresh_known;       // refresh_hz was looked up (at the first flip)
    int32_t refresh_hz;       // as the display reports it; 0 when it does not
    MSG message;              // the last one fetched, translated and dispatched as it came

    // As a screensaver: /p draws into a preview window (win32_preview.cpp),
    // /s ends at the first input.
    uint32_t presentation;
    uintptr_t preview_parent;
    bool preview_activated;  // the one activation a child window is given
    bool was_active;
    bool cursor_known;
    POINT cursor_start;

    // Music: the output device, its buffers and the mixing thread.
    HWAVEOUT device;
    HANDLE buffer_done;  // signalled by waveOut whenever a buffer comes back
    HANDLE mixer;
    std::atomic<bool> mixer_stop;
    int32_t rate;
    openmpt_module* playing;  // touched by the mixer thread only while it runs
    WAVEHDR headers[kOutputBuffers];
    int16_t samples[kOutputBuffers][kBufferFrames * kOutputChannels];
};

Win32State state;

int32_t failure(const char* what) {
    std::snprintf(state.error, sizeof state.error, "%s", what);
    return -1;
}

// DirectDraw's own result, as a reason with the call that gave it.
int32_t result_of(const char* call, HRESULT result) {
    if (SUCCEEDED(result)) return static_cast<int32_t>(result);
    std::snprintf(state.error, sizeof state.error, "%s failed (0x%08lx)", call, static_cast<unsigned long>(result));
    return static_cast<int32_t>(result) < 0 ? static_cast<int32_t>(result) : -1;
}

IDirectDraw* display_object(Handle object) { return reinterpret_cast<IDirectDraw*>(object); }
IDirectDrawSurface* surface_of(Handle surface) { return reinterpret_cast<IDirectDrawSurface*>(surface); }
HWND window_of(Handle window) { return reinterpret_cast<HWND>(window); }

bool previewing() { return (state.presentation & kPresentInWindow) != 0; }

// Windows' own screensaver procedure ends at a key, a button or losing the
// activation; the mouse is watched in escape_key_state.
void end_screensaver_on_input(UINT message, WPARAM wparam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN: state.stop_signal = true; break;
        case WM_ACTIVATEAPP:
            if (wparam) state.was_active = true;
            if (!wparam && state.was_active) state.stop_signal = true;
            break;
        default: break;
    }
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (state.presentation & kPresentScreensaver) end_screensaver_on_input(message, wparam);
    if (!state.procedure) return DefWindowProcA(window, message, wparam, lparam);
    return state.procedure(reinterpret_cast<Handle>(window), message, wparam, lparam);
}

BOOL WINAPI on_console_stop(DWORD) {
    state.stop_signal = true;
    return TRUE;
}

// Mixes into every buffer the device has handed back (or never had), so the
// queue stays full; runs until told to stop.
DWORD WINAPI mix_music(void*) {
    while (!state.mixer_stop.load()) {
        for (WAVEHDR& header : state.headers) {
            if ((header.dwFlags & WHDR_INQUEUE) && !(header.dwFlags & WHDR_DONE)) continue;
            int16_t* out = reinterpret_cast<int16_t*>(header.lpData);
            size_t written = openmpt_module_read_interleaved_stereo(state.playing, state.rate, kBufferFrames, out);
            for (size_t i = written * kOutputChannels; i < size_t{kBufferFrames} * kOutputChannels; ++i) out[i] = 0;
            header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            waveOutWrite(state.device, &header, sizeof header);
        }
        WaitForSingleObject(state.buffer_done, 50);
    }
    return 0;
}

void stop_mixer() {
    if (!state.mixer) return;
    state.mixer_stop = true;
    SetEvent(state.buffer_done);
    WaitForSingleObject(state.mixer, INFINITE);
    CloseHandle(state.mixer);
    state.mixer = nullptr;
    waveOutReset(state.device);  // hands every queued buffer back at once
    for (WAVEHDR& header : state.headers) waveOutUnprepareHeader(state.device, &header, sizeof header);
}

// Wine's DirectDraw queues a flip without waiting for the display (it
// ignores the wait flag), and the frame loop would spin flat out. So flips are
// also spaced at least one refresh period apart, less a millisecond, so that
// a real wait for the display is never stretched.
void space_flips() {
    if (!state.refresh_known) {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        const bool known = EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
        state.refresh_hz = known ? static_cast<int32_t>(mode.dmDisplayFrequency) : 0;
        state.refresh_known = true;
    }
    const auto now_ns = [] {
        LARGE_INTEGER frequency, now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&now);
        const int64_t ticks = now.QuadPart, rate = frequency.QuadPart;
        return ticks / rate * 1000000000 + ticks % rate * 1000000000 / rate;
    };
    flip_pacer::after_flip(&state.pacer, state.refresh_hz, now_ns,
                           [](int64_t ns) { Sleep(static_cast<DWORD>(ns / 1000000)); });
}

// A picture failure ends the process from inside start-up with no shut-down
// step; the mixer must not go on reading the song while the process ends.
void stop_music_at_exit() {
    stop_mixer();
    if (state.device) waveOutClose(state.device);
    state.device = nullptr;
}

}  // namespace

const char* last_error() { return state.error; }

// DirectDraw's exclusive fullscreen mode already shows the picture with
// whole pixels; a window is not offered here, so --window and --sharp are
// ignored. The screensaver's forms are honoured.
void set_presentation(uint32_t choices, uintptr_t window) {
    state.presentation = choices;
    state.preview_parent = window;
}

int32_t presentation_stats(uint32_t* frames, uint32_t* p50_us, uint32_t* p99_us, uint32_t* max_us, uint32_t* late) {
    return flip_pacer::report(state.pacer, frames, p50_us, p99_us, max_us, late);
}

void catch_stop_signals() { SetConsoleCtrlHandler(on_console_stop, TRUE); }

// --- Display device ---

Handle load_display_library() {
    if (previewing()) return preview::load_display_library();
    HMODULE library = LoadLibraryA("ddraw.dll");
    if (!library) failure("ddraw.dll can't be loaded");
    return reinterpret_cast<Handle>(library);
}

Handle find_display_creation_entry(Handle library) {
    if (previewing()) return preview::find_display_creation_entry(library);
    FARPROC entry = GetProcAddress(reinterpret_cast<HMODULE>(library), "DirectDrawCreate");
    if (!entry) failure("ddraw.dll has no DirectDrawCreate");
    return reinterpret_cast<Handle>(entry);
}

int32_t create_display_object(Handle entry, Handle* object) {
    if (previewing()) return preview::create_display_object(entry, object);
    auto create = reinterpret_cast<DirectDrawCreateFunction>(entry);
    IDirectDraw* created = nullptr;
    const HRESULT result = create(nullptr, &created, nullptr);
    if (SUCCEEDED(result)) *object = reinterpret_cast<Handle>(created);
    return result_of("DirectDrawCreate", result);
}

int32_t register_window_class(const char* class_name, WindowProcedure procedure) {
    state.procedure = procedure;
    WNDCLASSA window_class{};
    window_class.style = 0;
    window_class.lpfnWndProc = window_procedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hIcon = LoadIconA(window_class.hInstance, "IDI_MAIN");
    window_class.hCursor = nullptr;
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = class_name;
    return RegisterClassA(&window_class) != 0 ? 0 : failure("RegisterClassA failed");
}

Handle create_window(const char* class_name, const char* title, uint32_t style, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
    if (previewing())
        return preview::create_window(state.preview_parent, class_name, title, state.error, sizeof state.error);
    HWND window = CreateWindowExA(0, class_name, title, style, x, y, width, height, nullptr, nullptr, nullptr, nullptr);
    if (!window) failure("CreateWindowExA failed");
    return reinterpret_cast<Handle>(window);
}

void destroy_window(Handle window) { DestroyWindow(window_of(window)); }

int32_t set_exclusive_fullscreen(Handle object, Handle window) {
    if (previewing()) return window != 0 ? 0 : -1;  // create_window's reason stands
    const int32_t result =
        result_of("SetCooperativeLevel (exclusive, fullscreen)",
                  display_object(object)->SetCooperativeLevel(window_of(window), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
    // The window is made without a visible style. Windows' own DirectDraw
    // takes the whole screen regardless, but wine's presents through the
    // window: shown here, it covers the screen in both.
    if (result >= 0) ShowWindow(window_of(window), SW_SHOW);
    return result;
}

int32_t set_normal_cooperative_level(Handle object, Handle window) {
    if (previewing()) return 0;
    return result_of("SetCooperativeLevel (normal)",
                     display_object(object)->SetCooperativeLevel(window_of(window), DDSCL_NORMAL));
}

int32_t set_display_mode(Handle object, int32_t width, int32_t height, int32_t bits_per_pixel) {
    if (previewing()) return preview::set_display_mode(width, height, bits_per_pixel, state.error, sizeof state.error);
    const HRESULT result = display_object(object)->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                                                  static_cast<DWORD>(bits_per_pixel));
    if (SUCCEEDED(result)) return static_cast<int32_t>(result);
    std::snprintf(state.error, sizeof state.error, "SetDisplayMode %dx%dx%d failed (0x%08lx)", width, height,
                  bits_per_pixel, static_cast<unsigned long>(result));
    return -1;
}

int32_t restore_display_mode(Handle object) {
    if (previewing()) return 0;
    return result_of("RestoreDisplayMode", display_object(object)->RestoreDisplayMode());
}

int32_t create_primary_surface(Handle object, uint32_t flags, uint32_t back_buffer_count, uint32_t caps,
                               Handle* primary) {
    if (previewing()) return preview::create_primary_surface(primary);
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = flags;
    if (flags & DDSD_BACKBUFFERCOUNT) description.dwBackBufferCount = back_buffer_count;
    description.ddsCaps.dwCaps = caps;
    IDirectDrawSurface* surface = nullptr;
    const HRESULT result = display_object(object)->CreateSurface(&description, &surface, nullptr);
    if (SUCCEEDED(result)) *primary = reinterpret_cast<Handle>(surface);
    return result_of("CreateSurface", result);
}

int32_t get_back_buffer(Handle primary, Handle* back_buffer) {
    if (previewing()) return preview::get_back_buffer(primary, back_buffer);
    DDSCAPS caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface* attached = nullptr;
    const HRESULT result = surface_of(primary)->GetAttachedSurface(&caps, &attached);
    if (SUCCEEDED(result)) {
        // The chain keeps the back buffer alive; this reference is not kept.
        attached->Release();
        *back_buffer = reinterpret_cast<Handle>(attached);
    }
    return result_of("GetAttachedSurface (back buffer)", result);
}

int32_t get_pixel_format(Handle surface, uint32_t* flags, uint32_t* bit_count, uint32_t* red_mask, uint32_t* green_mask,
                         uint32_t* blue_mask) {
    if (previewing()) return preview::get_pixel_format(flags, bit_count, red_mask, green_mask, blue_mask);
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    const HRESULT result = surface_of(surface)->GetPixelFormat(&format);
    if (SUCCEEDED(result)) {
        *flags = format.dwFlags;
        *bit_count = format.dwRGBBitCount;
        *red_mask = format.dwRBitMask;
        *green_mask = format.dwGBitMask;
        *blue_mask = format.dwBBitMask;
    }
    return result_of("GetPixelFormat", result);
}

int32_t restore_surface(Handle surface) {
    if (previewing()) return 0;
    return result_of("Restore", surface_of(surface)->Restore());
}

int32_t lock_surface(Handle surface, uint8_t** bits, int32_t* pitch) {
    if (previewing()) return preview::lock_surface(bits, pitch);
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    const HRESULT result = surface_of(surface)->Lock(nullptr, &description, DDLOCK_WAIT, nullptr);
    if (SUCCEEDED(result)) {
        *bits = static_cast<uint8_t*>(description.lpSurface);
        *pitch = description.lPitch;
    }
    return result_of("Lock", result);
}

int32_t unlock_surface(Handle surface, uint8_t* bits) {
    if (previewing()) return 0;
    return result_of("Unlock", surface_of(surface)->Unlock(bits));
}

int32_t flip(Handle primary) {
    const int32_t result =
        previewing() ? preview::flip() : result_of("Flip", surface_of(primary)->Flip(nullptr, DDFLIP_WAIT));
    space_flips();
    return result;
}

int32_t release_surface(Handle surface) {
    if (previewing()) return 0;
    return static_cast<int32_t>(surface_of(surface)->Release());
}

int32_t release_display_object(Handle object) {
    if (previewing()) return 0;
    return static_cast<int32_t>(display_object(object)->Release());
}

void free_library(Handle library) {
    if (!previewing()) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

int32_t peek_message(Handle window, uint32_t* message, uintptr_t* wparam, intptr_t* lparam) {
    // A child window is never activated by itself: the preview draws at once.
    if (previewing() && !state.preview_activated) {
        state.preview_activated = true;
        *message = kMessageActivateApp;
        *wparam = 1;
        *lparam = 0;
        return 1;
    }
    if (!PeekMessageA(&state.message, window_of(window), 0, 0, PM_REMOVE)) return 0;
    *message = state.message.message;
    *wparam = state.message.wParam;
    *lparam = state.message.lParam;
    return 1;
}

intptr_t dispatch_message(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    // The message is the one just fetched; one made up by a caller is sent
    // through a record of its own.
    MSG record = state.message;
    if (record.hwnd != window_of(window) || record.message != message || record.wParam != wparam ||
        record.lParam != lparam) {
        record = MSG{};
        record.hwnd = window_of(window);
        record.message = message;
        record.wParam = wparam;
        record.lParam = lparam;
    }
    TranslateMessage(&record);
    return DispatchMessageA(&record);
}

intptr_t default_window_procedure(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return DefWindowProcA(window_of(window), message, wparam, lparam);
}

void set_cursor_none() { SetCursor(nullptr); }

// --- Keyboard, time ---

int16_t escape_key_state() {
    // A preview ignores the keys (they are the settings dialog's) and ends
    // with its window.
    int16_t result = previewing() ? (preview::parent_gone() ? 1 : 0) : GetAsyncKeyState(VK_ESCAPE);
    POINT cursor{};
    if ((state.presentation & kPresentScreensaver) && GetCursorPos(&cursor)) {
        constexpr LONG kStill = 4;  // pixels the mouse may drift
        if (!state.cursor_known) state.cursor_start = cursor;
        state.cursor_known = true;
        if (std::abs(cursor.x - state.cursor_start.x) > kStill || std::abs(cursor.y - state.cursor_start.y) > kStill) {
            state.stop_signal = true;
        }
    }
    if (state.stop_signal) result |= 1;
    return result;
}

uint32_t timer_ms() { return timeGetTime(); }

int32_t timer_period_begin(uint32_t period) { return timeBeginPeriod(period) == TIMERR_NOERROR ? 0 : -1; }
int32_t timer_period_end(uint32_t period) { return timeEndPeriod(period) == TIMERR_NOERROR ? 0 : -1; }

void sleep_ms(uint32_t milliseconds) { Sleep(milliseconds); }

// --- Music library ---

// The request is for 500 ms, a hint: small buffers keep Escape immediate.
int32_t music_set_buffer_size(int32_t) { return 1; }

int32_t music_init(int32_t mixing_rate, int32_t, uint32_t) {
    if (state.presentation & kPresentSilent) return failure("silent: no sound device is opened"), 0;
    if (state.device) return 1;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kOutputChannels;
    format.nSamplesPerSec = static_cast<DWORD>(mixing_rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(kOutputChannels * sizeof(int16_t));
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    if (!state.buffer_done) state.buffer_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const MMRESULT result = waveOutOpen(&state.device, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(state.buffer_done), 0, CALLBACK_EVENT);
    if (result != MMSYSERR_NOERROR) {
        state.device = nullptr;
        std::snprintf(state.error, sizeof state.error, "waveOutOpen failed (%u)", static_cast<unsigned>(result));
        return 0;
    }
    state.rate = mixing_rate;
    static bool exit_hook_registered = false;
    if (!exit_hook_registered) std::atexit(stop_music_at_exit);
    exit_hook_registered = true;
    return 1;
}

Handle music_load_song(const char* path) { return song_file::load_song_handle(path, state.error, sizeof state.error); }

int32_t music_play_song(Handle song) {
    if (!song || !state.device || state.mixer) return 0;
    for (int i = 0; i < kOutputBuffers; ++i) {
        WAVEHDR& header = state.headers[i];
        header = WAVEHDR{};
        header.lpData = reinterpret_cast<LPSTR>(state.samples[i]);
        header.dwBufferLength = sizeof state.samples[i];
        if (waveOutPrepareHeader(state.device, &header, sizeof header) != MMSYSERR_NOERROR) return 0;
    }
    state.playing = reinterpret_cast<openmpt_module*>(song);
    state.mixer_stop = false;
    state.mixer = CreateThread(nullptr, 0, mix_music, nullptr, 0, nullptr);
    if (!state.mixer) {
        state.playing = nullptr;
        return failure("the mixing thread can't be started"), 0;
    }
    return 1;
}

int32_t music_free_song(Handle song) {
    if (!song) return 0;
    openmpt_module* module = reinterpret_cast<openmpt_module*>(song);
    if (state.playing == module) {
        stop_mixer();  // joined: the mixer can't be inside the song any more
        state.playing = nullptr;
    }
    openmpt_module_destroy(module);
    return 1;
}

void music_close() { stop_music_at_exit(); }

}  // namespace platform
