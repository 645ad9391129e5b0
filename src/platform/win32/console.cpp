#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/platform.h"

namespace {

std::atomic<ConsoleCtrlHandler> installedHandler{nullptr};

BOOL WINAPI forwardCtrlEvent(DWORD ctrlType) {
    ConsoleCtrlHandler handler = installedHandler.load();
    return handler ? (handler(static_cast<uint32_t>(ctrlType)) ? TRUE : FALSE) : FALSE;
}

}  // namespace

void platformInitConsole() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void platformSetConsoleTitle(const char* title) {
    SetConsoleTitleA(title);
}

int platformAddConsoleCtrlHandler(ConsoleCtrlHandler handler) {
    installedHandler.store(handler);
    return SetConsoleCtrlHandler(forwardCtrlEvent, TRUE) ? 1 : 0;
}
