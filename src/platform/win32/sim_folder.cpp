#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include "platform/platform.h"

int platformSimExecutablePath(char* out, uint32_t size) {
    HWND window = FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
    if (!window) return 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return 0;
    int found = 0;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &module, sizeof module, &needed) && needed != 0)
        found = GetModuleFileNameExA(process, module, out, size) != 0 ? 1 : 0;
    // Older systems leave a cut name without its NUL.
    if (size > 0) out[size - 1] = '\0';
    CloseHandle(process);
    return found;
}

int platformDirectoryOpens(const char* path) {
    HANDLE directory = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(directory);
    return 1;
}

namespace {

// An elevated process denies a process of lower integrity its token: that is the answer too.
SimVirtualisation deniedOrUnknown() {
    return GetLastError() == ERROR_ACCESS_DENIED ? SimVirtualisation::elevated : SimVirtualisation::unknown;
}

SimVirtualisation tokenVirtualisation(HANDLE token) {
    DWORD enabled = 0;
    DWORD length = 0;
    // Windows XP has no such class: the call fails there.
    if (!GetTokenInformation(token, TokenVirtualizationEnabled, &enabled, sizeof enabled, &length))
        return SimVirtualisation::unknown;
    if (enabled) return SimVirtualisation::virtualised;
    TOKEN_ELEVATION elevation{};
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length) &&
        elevation.TokenIsElevated)
        return SimVirtualisation::elevated;
    return SimVirtualisation::notVirtualised;
}

}  // namespace

SimVirtualisation platformSimVirtualisation() {
    HWND window = FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
    if (!window) return SimVirtualisation::unknown;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return SimVirtualisation::unknown;
    // The limited right is what Windows grants on an elevated process; XP knows only the full one.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return deniedOrUnknown();
    HANDLE token = nullptr;
    SimVirtualisation result =
        OpenProcessToken(process, TOKEN_QUERY, &token) ? tokenVirtualisation(token) : deniedOrUnknown();
    if (token) CloseHandle(token);
    CloseHandle(process);
    return result;
}
