// The progress window: a small tool window with a headline, two labels and a progress bar, created and
// run by a thread of its own so it keeps painting while the main thread builds the database. The main
// thread changes the controls with SendMessageA, which waits until the window thread has handled each
// change.
//
// kestrel is often started while FS9 runs full screen: a window that took the foreground, or stayed on
// top of it, would push the simulator out of its full-screen mode. So the window is shown without
// being activated, a click does not activate it either, and it is not top-most; it stays in view for
// the pilot who started kestrel from its console.
#include <windows.h>

#include <commctrl.h>

#include <atomic>

#include "kestrel_version.h"
#include "platform/platform.h"
#include "platform/win32/system_function.h"

namespace {

constexpr const char* kClassName = "kestrel " KESTREL_VERSION;
constexpr const char* kTitle = "kestrel " KESTREL_VERSION;
constexpr DWORD kExtendedStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_THICKFRAME;

// Written by the window thread while it creates the window, read by the main thread. The progress bar
// is published last, so once it is non-null every other handle is set.
struct ProgressWindow {
    std::atomic<HWND> window{nullptr};
    std::atomic<HWND> headline{nullptr};
    std::atomic<HWND> fileCount{nullptr};
    std::atomic<HWND> airportCount{nullptr};
    std::atomic<HWND> bar{nullptr};
};
static_assert(std::atomic<HWND>::is_always_lock_free);

ProgressWindow progressWindow;

struct BaseUnits {
    int x;
    int y;
};

BaseUnits dialogBaseUnits() {
    LONG units = GetDialogBaseUnits();
    return BaseUnits{LOWORD(units), HIWORD(units)};
}

HWND createChild(HWND parent, const char* className, const char* text, DWORD style, int row,
                 BaseUnits units) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, row * units.y, 50 * units.x,
                           units.y, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void forgetHandles() {
    progressWindow.bar.store(nullptr);
    progressWindow.airportCount.store(nullptr);
    progressWindow.fileCount.store(nullptr);
    progressWindow.headline.store(nullptr);
    progressWindow.window.store(nullptr);
}

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            BaseUnits units = dialogBaseUnits();
            // Registers the progress bar's class; only a build shows the window.
            if (auto init = systemFunction<void(WINAPI*)()>("comctl32.dll", "InitCommonControls")) init();
            progressWindow.window.store(window);
            progressWindow.headline.store(createChild(
                window, "Static", "... indexing airports and towers, please hold the line ...", 0, 0, units));
            progressWindow.fileCount.store(createChild(window, "Static", "Files scanned: 0", 0, 2, units));
            progressWindow.airportCount.store(
                createChild(window, "Static", "Airports found: 0", 0, 3, units));
            progressWindow.bar.store(createChild(window, PROGRESS_CLASSA, "", PBS_SMOOTH, 4, units));
            return 0;
        }
        case WM_DESTROY:
            // Once the window is going, later updates must not reach whatever window reuses a handle.
            if (progressWindow.window.load() == window) forgetHandles();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

DWORD WINAPI progressWindowThread(LPVOID) {
    BaseUnits units = dialogBaseUnits();
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = progressWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_SCROLLBAR + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when an earlier window registered it

    HWND window = CreateWindowExA(kExtendedStyle, kClassName, kTitle, kStyle, 0, 0, 55 * units.x, 7 * units.y,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 0;  // the window is only a display: the build goes on without it
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

void sendTo(const std::atomic<HWND>& control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!progressWindow.bar.load()) return;  // the window is not up (yet): nothing to update
    HWND target = control.load();
    if (target) SendMessageA(target, message, wParam, lParam);
}

}  // namespace

void platformProgressOpen() {
    forgetHandles();
    HANDLE thread = CreateThread(nullptr, 0, progressWindowThread, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
}

int platformProgressReady() {
    return progressWindow.bar.load() ? 1 : 0;
}

void platformProgressSetText(ProgressText which, const char* text) {
    const std::atomic<HWND>& label = which == kProgressHeadline    ? progressWindow.headline
                                     : which == kProgressFileCount ? progressWindow.fileCount
                                                                   : progressWindow.airportCount;
    sendTo(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void platformProgressSetRange(uint16_t maximum) {
    sendTo(progressWindow.bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void platformProgressSetStep(uint16_t step) {
    sendTo(progressWindow.bar, PBM_SETSTEP, step, 0);
}

void platformProgressStep() {
    sendTo(progressWindow.bar, PBM_STEPIT, 0, 0);
}

void platformProgressClose() {
    // DestroyWindow only works on the window's own thread; the destroy notification makes that thread
    // leave its message loop, and the system removes its windows as it ends.
    sendTo(progressWindow.window, WM_DESTROY, 0, 0);
}
