// The X11 questions: a window manager that follows the desktop conventions
// names its check window on the root window; the monitors are RandR's.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/sdl/sdl_window_system.h"

namespace platform::sdl {
namespace {

Display* x11_display_of(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    return info.info.x11.display;
}

Window x11_window_of(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWindowWMInfo(window, &info) ? info.info.x11.window : None;
}

}  // namespace

Answer x11_direct_rendering(SDL_Window* window) {
    Display* display = x11_display_of(window);
    if (!display) return Answer::unknown;
    int opcode = 0, event = 0, error = 0;
    const bool direct = XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
                        XQueryExtension(display, "DRI2", &opcode, &event, &error);
    return direct ? Answer::yes : Answer::no;
}

Answer window_manager_of(SDL_Window* window) {
    Display* display = x11_display_of(window);
    if (!display) return Answer::unknown;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return Answer::no;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &remaining, &data);
    const bool announced = status == Success && data && count == 1;
    if (data) XFree(data);
    return announced ? Answer::yes : Answer::no;
}

bool place_on_one_monitor(SDL_Window* window, bool with_window_manager) {
    Display* display = x11_display_of(window);
    if (!display || SDL_GetNumVideoDisplays() != 1) return false;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    if (!monitors) return false;
    const XRRMonitorInfo* chosen = nullptr;
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        if (!chosen || (m.primary && !chosen->primary) ||
            (m.primary == chosen->primary && (m.y < chosen->y || (m.y == chosen->y && m.x < chosen->x)))) {
            chosen = &m;
        }
    }
    SDL_Rect screen{};
    SDL_GetDisplayBounds(0, &screen);
    const bool several = count > 1 && chosen && (chosen->width < screen.w || chosen->height < screen.h);
    if (several) {
        SDL_SetWindowPosition(window, chosen->x, chosen->y);
        SDL_SetWindowSize(window, chosen->width, chosen->height);
    }
    XRRFreeMonitors(monitors);
    if (!several || !with_window_manager) return several;
    // Asked before the window is mapped, the window manager makes it
    // fullscreen on the monitor it lies on.
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display, x11_window_of(window), state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullscreen), 1);
    return true;
}

}  // namespace platform::sdl
