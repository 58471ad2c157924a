// A window of another program for orvo --window-id to draw into: made at
// the size asked, shown, its id printed on stdout; it stays until the
// process ends, when the X server destroys it. White, so that anything the
// demo leaves undrawn shows.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvo_x11_host_window WIDTH HEIGHT\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "orvo_x11_host_window: no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 40, 40, static_cast<unsigned>(std::atoi(argv[1])),
                            static_cast<unsigned>(std::atoi(argv[2])), 0, 0, WhitePixel(display, screen));
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {}
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    for (;;) pause();
}
