// Borrowing an X window: checked on a connection of our own before SDL takes
// it, so that a wrong id is one line instead of Xlib's end of the process;
// its destruction by its owner is then noticed through the errors it causes.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl/sdl_foreign_window.h"

namespace platform::sdl {
namespace {

struct Borrowed {
    Window window;
    bool gone;
    bool handler_installed;
    XErrorHandler previous;
};

Borrowed borrowed;

// The owner may destroy the window at any moment (xscreensaver does as it
// ends its hack, a settings dialog when it closes), and with it the windows
// around it. The next request on any of them fails (SDL asks where the
// window lies on a move), and Xlib's own handler would end the process
// over that. Every window this program touches is someone else's, so no
// such error is its own fault.
int on_x_error(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        if (error->resourceid == borrowed.window) borrowed.gone = true;
        return 0;
    }
    return borrowed.previous ? borrowed.previous(display, error) : 0;
}

// A window destroyed while unmapped is never drawn into again, so no error
// tells of it: its destruction is seen among the X events.
int watch_destruction(void*, SDL_Event* event) {
    if (event->type == SDL_SYSWMEVENT && event->syswm.msg->subsystem == SDL_SYSWM_X11) {
        const XEvent& x = event->syswm.msg->msg.x11.event;
        if (x.type == DestroyNotify && x.xdestroywindow.window == borrowed.window) borrowed.gone = true;
    }
    return 1;
}

void restore_error_handler() {
    if (borrowed.handler_installed) XSetErrorHandler(borrowed.previous);
    borrowed.handler_installed = false;
}

const char* display_name() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

}  // namespace

bool start_foreign_video(char* error, size_t size) {
    if (display_name()[0] == '\0') {
        std::snprintf(error, size, "no X display: DISPLAY is unset (a window to draw into is an X window)");
        return false;
    }
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    const bool up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    if (!up) std::snprintf(error, size, "the X display \"%s\" can't be opened", display_name());
    return up;
}

SDL_Window* open_foreign_window(uintptr_t id, char* error, size_t size) {
    Display* own = XOpenDisplay(nullptr);
    if (!own) {
        std::snprintf(error, size, "the X display \"%s\" can't be opened", display_name());
        return nullptr;
    }
    borrowed.window = id != 0 ? static_cast<Window>(id) : DefaultRootWindow(own);
    borrowed.gone = false;
    borrowed.previous = XSetErrorHandler(on_x_error);
    borrowed.handler_installed = true;
    XWindowAttributes attributes{};
    const bool exists = XGetWindowAttributes(own, borrowed.window, &attributes) != 0 && !borrowed.gone;
    XCloseDisplay(own);
    if (!exists || attributes.c_class != InputOutput) {
        std::snprintf(error, size,
                      exists ? "the X window 0x%lx takes no drawing" : "there is no X window 0x%lx on \"%s\"",
                      borrowed.window, display_name());
        restore_error_handler();
        return nullptr;
    }
    SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<void*>(borrowed.window));
    if (!window) {
        std::snprintf(error, size, "%s", SDL_GetError());
        restore_error_handler();
        return nullptr;
    }
    // Its size changes and mapping then reach SDL as a window of its own's do.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    XWindowAttributes now{};
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
        XGetWindowAttributes(info.info.x11.display, borrowed.window, &now)) {
        XSelectInput(info.info.x11.display, borrowed.window, now.your_event_mask | StructureNotifyMask);
        XFlush(info.info.x11.display);
    }
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_AddEventWatch(watch_destruction, nullptr);
    return window;
}

// GL would have SDL remake the window with a visual of its choosing, which a
// borrowed window can't be; the software renderer draws with the window's own.
SDL_Renderer* create_foreign_renderer(SDL_Window* window) {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

bool foreign_window_gone() { return borrowed.gone; }

void close_foreign_window(SDL_Window* window) {
    if (!window) return;
    SDL_DelEventWatch(watch_destruction, nullptr);
    SDL_DestroyWindow(window);  // SDL never destroys a window it did not make
    restore_error_handler();
}

}  // namespace platform::sdl
