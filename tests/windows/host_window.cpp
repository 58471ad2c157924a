// A window of another program for orvo.scr /p to preview in, as Windows'
// screen saver settings hand one over: 320 x 240, white, shown at 40,40,
// its handle printed in decimal. It stays until the process ends, which
// destroys it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <cstdio>

int main() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "OrvoPreviewHost";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "OrvoPreviewHost", "Orvo preview host", WS_POPUP | WS_VISIBLE, 40, 40, 320, 240,
                                  nullptr, nullptr, window_class.hInstance, nullptr);
    if (!window) return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
