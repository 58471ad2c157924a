// Starts a program and watches the X screen's centre every 4 ms: prints
// "first frame after N ms" once the centre shows neither what it showed
// before the start nor black (the demo's start page and a fresh window's
// background), then waits for the program and prints "ended at T" (the
// realtime clock in nanoseconds, to be set against the moment a key was
// sent). Exit code 1 with a line when no frame comes within 15 s.
//
//   orvo_first_frame_probe PROGRAM [ARGUMENT...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kSide = 4;  // the square watched, in pixels

int64_t clock_ns(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The watched square's pixels, or false when the screen can't be read.
bool read_centre(Display* display, unsigned long (&pixels)[kSide * kSide]) {
    const Window root = DefaultRootWindow(display);
    const int x = DisplayWidth(display, DefaultScreen(display)) / 2;
    const int y = DisplayHeight(display, DefaultScreen(display)) / 2;
    XImage* image = XGetImage(display, root, x, y, kSide, kSide, AllPlanes, ZPixmap);
    if (!image) return false;
    for (int i = 0; i < kSide * kSide; ++i) pixels[i] = XGetPixel(image, i % kSide, i / kSide) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvo_first_frame_probe PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "orvo_first_frame_probe: no X display\n");
        return 1;
    }
    unsigned long before[kSide * kSide];
    unsigned long now[kSide * kSide];
    if (!read_centre(display, before)) return 1;
    const int64_t start = clock_ns(CLOCK_MONOTONIC);
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    bool seen = false;
    while (!seen && clock_ns(CLOCK_MONOTONIC) - start < 15000000000) {
        const timespec pause{0, 4000000};
        nanosleep(&pause, nullptr);
        if (!read_centre(display, now)) continue;
        for (int i = 0; i < kSide * kSide; ++i) seen = seen || (now[i] != before[i] && now[i] != 0);
    }
    if (!seen) {
        std::fprintf(stderr, "orvo_first_frame_probe: no frame within 15 s\n");
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return 1;
    }
    std::printf("first frame after %.0f ms\n", static_cast<double>(clock_ns(CLOCK_MONOTONIC) - start) / 1e6);
    std::fflush(stdout);
    int status = 0;
    waitpid(child, &status, 0);
    std::printf("ended at %lld\n", static_cast<long long>(clock_ns(CLOCK_REALTIME)));
    XCloseDisplay(display);
    return 0;
}
