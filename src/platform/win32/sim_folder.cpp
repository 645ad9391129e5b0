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
