// The window class and message dispatch of a backend with no window system
// of its own to dispatch through (SDL, the browser, the template): the
// procedure registered is called straight with each message fetched, and
// what it does not know is ignored.
#include "platform/platform.h"

namespace platform {
namespace {

WindowProcedure registered_procedure;

}  // namespace

int32_t register_window_class(const char*, WindowProcedure procedure) {
    registered_procedure = procedure;
    return 1;
}

intptr_t dispatch_message(Handle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!registered_procedure) return default_window_procedure(window, message, wparam, lparam);
    return registered_procedure(window, message, wparam, lparam);
}

intptr_t default_window_procedure(Handle, uint32_t, uintptr_t, intptr_t) { return 0; }

}  // namespace platform
