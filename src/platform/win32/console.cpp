#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/console_events.h"

namespace {

constexpr DWORD kStopWaitMs = 4000;  // below the 5 s the system grants before it ends the process

std::atomic<ConsoleCtrlHandler> installedHandler{nullptr};
HANDLE stopDone = nullptr;  // manual-reset event: set once the program's stop path is complete

BOOL WINAPI forwardCtrlEvent(DWORD ctrlType) {
    return win32ConsoleCtrlRoutine(static_cast<uint32_t>(ctrlType)) ? TRUE : FALSE;
}

// A console program that uses windows (kestrel shows its progress window) never sees logoff and
// shutdown as control events: the system sends them as WM_ENDSESSION to its top-level windows, and
// ends the process once they are answered. A hidden window of its own, on its own thread, turns them
// into the same control events, so they get the same orderly stop.
LRESULT CALLBACK sessionEndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) return TRUE;
    if (message == WM_ENDSESSION) {
        if (wParam)
            win32ConsoleCtrlRoutine((lParam & ENDSESSION_LOGOFF) ? CTRL_LOGOFF_EVENT : CTRL_SHUTDOWN_EVENT);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI sessionEndThread(LPVOID) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = sessionEndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kSessionEndWindowClass;
    RegisterClassA(&windowClass);
    // Top-level (not message-only): only top-level windows are told of the session's end.
    if (!CreateWindowExA(0, kSessionEndWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         windowClass.hInstance, nullptr))
        return 0;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

void startSessionEndWindow() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) return;
    HANDLE thread = CreateThread(nullptr, 0, sessionEndThread, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
}

}  // namespace

int win32ConsoleCtrlRoutine(uint32_t ctrlType) {
    ConsoleCtrlHandler handler = installedHandler.load();
    if (!handler || !handler(ctrlType)) return 0;
    // The process ends as soon as this returns: let the stop path close the link and log its last line.
    if ((ctrlType == CTRL_CLOSE_EVENT || ctrlType == CTRL_LOGOFF_EVENT || ctrlType == CTRL_SHUTDOWN_EVENT) &&
        stopDone)
        WaitForSingleObject(stopDone, kStopWaitMs);
    return 1;
}

void platformInitConsole() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);  // the usage text on stderr carries its own "\r\n" too
}

void platformSetConsoleTitle(const char* title) {
    SetConsoleTitleA(title);
}

int platformAddConsoleCtrlHandler(ConsoleCtrlHandler handler) {
    if (!stopDone)
        stopDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(stopDone);  // a stop path still to come
    installedHandler.store(handler);
    startSessionEndWindow();
    return SetConsoleCtrlHandler(forwardCtrlEvent, TRUE) ? 1 : 0;
}

void platformConsoleStopDone() {
    if (stopDone) SetEvent(stopDone);
}
