#include <windows.h>

#include "platform/platform.h"

namespace {

IpcWindow findWindow(const char* className) {
    return FindWindowExA(nullptr, nullptr, className, nullptr);
}

uint32_t registerMessage(const char* name) {
    return RegisterWindowMessageA(name);
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

uint16_t addAtom(const char* name) {
    return GlobalAddAtomA(name);
}

void deleteAtom(uint16_t atom) {
    GlobalDeleteAtom(atom);
}

IpcMapping createMapping(const char* name, uint32_t size) {
    // A new object leaves the last error alone on some systems: start from 0 so only 183 means "existed".
    SetLastError(0);
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
}

uint8_t* mapView(IpcMapping mapping) {
    return static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
}

void unmapView(uint8_t* view) {
    UnmapViewOfFile(view);
}

void closeMapping(IpcMapping mapping) {
    CloseHandle(mapping);
}

int sendMessage(IpcWindow window, uint32_t message, uint32_t wParam, uint32_t timeoutMs, uint64_t* reply) {
    DWORD_PTR answer = 0;
    LRESULT sent =
        SendMessageTimeoutA(static_cast<HWND>(window), message, wParam, 0, SMTO_BLOCK, timeoutMs, &answer);
    if (sent == 0) {
        // Current systems report a timeout as ERROR_TIMEOUT; the link tells a timeout (0) from a failure.
        if (GetLastError() == ERROR_TIMEOUT) SetLastError(0);
        return 0;
    }
    *reply = answer;
    return 1;
}

uint32_t lastError() {
    return GetLastError();
}

void sleepFor(uint32_t milliseconds) {
    Sleep(milliseconds);
}

const IpcTransport kWin32Transport{findWindow,   registerMessage, currentProcessId, addAtom,
                                   deleteAtom,   createMapping,   mapView,          unmapView,
                                   closeMapping, sendMessage,     lastError,        sleepFor};

}  // namespace

const IpcTransport* platformIpcTransport() {
    return &kWin32Transport;
}
