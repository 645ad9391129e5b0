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
    return SetConsoleCtrlHandler(forwardCtrlEvent, TRUE) ? 1 : 0;
}

void platformConsoleStopDone() {
    if (stopDone) SetEvent(stopDone);
}
