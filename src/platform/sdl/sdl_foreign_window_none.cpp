// A build without X11's client library: no window can be borrowed.
#include <cstdio>

#include "platform/sdl/sdl_foreign_window.h"

namespace platform::sdl {

bool start_foreign_video(char* error, size_t size) {
    std::snprintf(error, size, "drawing into another program's window needs X11, and this build has no X11");
    return false;
}

SDL_Window* open_foreign_window(uintptr_t, char* error, size_t size) {
    return start_foreign_video(error, size), nullptr;
}
SDL_Renderer* create_foreign_renderer(SDL_Window*) { return nullptr; }
bool foreign_window_gone() { return false; }
void close_foreign_window(SDL_Window*) {}

}  // namespace platform::sdl
