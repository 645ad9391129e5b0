#include <windows.h>

#include <cstdio>

#include "sim_server.h"

namespace sim {

namespace {

Core* serving = nullptr;
UINT ipcMessage = 0;

// Plays a hung simulator: the message is never answered while the simulator lives, so the sender's
// SendMessageTimeout runs out, and so do the sends that queue up behind it.
void hang() {
    while (!stopRequested.load() && !serving->finished())
        Sleep(50);
}

LRESULT answer(WPARAM wParam) {
    char name[256] = {};
    if (GlobalGetAtomNameA(static_cast<ATOM>(wParam), name, sizeof name) == 0) {
        std::fprintf(stderr, "kestrel-sim: no atom %u\n", static_cast<unsigned>(wParam));
        return 0;
    }
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) {
        std::fprintf(stderr, "kestrel-sim: cannot open the block %s (error %lu)\n", name, GetLastError());
        return 0;
    }
    uint8_t* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    LRESULT result = 0;
    if (view) {
        MEMORY_BASIC_INFORMATION region{};
        size_t size = VirtualQuery(view, &region, sizeof region) ? region.RegionSize : 0;
        uint32_t reply = 0;
        if (serving->handle(view, size, reply))
            result = static_cast<LRESULT>(reply);
        else
            hang();
        UnmapViewOfFile(view);
    } else {
        std::fprintf(stderr, "kestrel-sim: cannot map the block %s (error %lu)\n", name, GetLastError());
    }
    CloseHandle(mapping);
    return result;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ipcMessage && ipcMessage != 0) return answer(wParam);
    if (message == WM_CLOSE) {
        stopRequested.store(true);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int runServer(Core& core, const Options& options) {
    const char* className = options.className.c_str();
    if (FindWindowExA(nullptr, nullptr, className, nullptr)) {
        std::fprintf(stderr, "kestrel-sim: another window of class %s exists\n", className);
        return 1;
    }
    serving = &core;
    ipcMessage = RegisterWindowMessageA("FsasmLib:IPC");
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (ipcMessage == 0 || !RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "kestrel-sim: cannot register the window class %s (error %lu)\n", className,
                     GetLastError());
        return 1;
    }
    // A top-level window, left hidden: the client finds it by class like the real simulator's.
    HWND window = CreateWindowExA(0, className, "kestrel-sim", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!window) {
        std::fprintf(stderr, "kestrel-sim: cannot create the window (error %lu)\n", GetLastError());
        UnregisterClassA(className, instance);
        return 1;
    }
    std::printf("kestrel-sim ready: %s window %p\n", className, static_cast<void*>(window));
    std::fflush(stdout);

    while (!stopRequested.load() && !core.finished()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    DestroyWindow(window);
    UnregisterClassA(className, instance);
    serving = nullptr;
    return 0;
}

}  // namespace sim
