// bare-start: a console program that opens a message window and ends, built like kestrel. What a
// Windows program pays before it does anything of its own: the loader, the C runtime, user32.
#include <windows.h>

int main() {
    HWND window = CreateWindowExA(0, "STATIC", "bare-start", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    DestroyWindow(window);
    return 0;
}
