#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace {

HANDLE heldMutex = nullptr;
HANDLE holderMapping = nullptr;  // the holder's process id, for the message of the next one

// Windows names no owner of a mutex: the holder publishes its id in a small block beside it.
std::string holderBlockName(const char* name) {
    return std::string("Local\\") + name + "-instance-process";
}

uint32_t holderOf(const char* name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, holderBlockName(name).c_str());
    if (!mapping) return 0;  // not published yet, or not ours to read
    uint32_t pid = 0;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof pid)) {
        pid = *static_cast<const volatile uint32_t*>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return pid;
}

void publishHolder(const char* name) {
    holderMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(uint32_t),
                                       holderBlockName(name).c_str());
    if (!holderMapping) return;
    if (void* view = MapViewOfFile(holderMapping, FILE_MAP_WRITE, 0, 0, sizeof(uint32_t))) {
        *static_cast<volatile uint32_t*>(view) = GetCurrentProcessId();
        UnmapViewOfFile(view);
    }
}

}  // namespace

int platformAcquireInstanceLock(const char* name, uint32_t* otherProcessId) {
    *otherProcessId = 0;
    const std::string mutexName = std::string("Local\\") + name + "-instance";
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    const DWORD error = GetLastError();
    // A kestrel of another elevation holds a mutex this one may not open: it is there all the same.
    if ((mutex && error == ERROR_ALREADY_EXISTS) || (!mutex && error == ERROR_ACCESS_DENIED)) {
        if (mutex) CloseHandle(mutex);
        *otherProcessId = holderOf(name);
        return kInstanceRunning;
    }
    if (!mutex) return kInstanceLockUnavailable;
    heldMutex = mutex;
    publishHolder(name);
    return kInstanceLockHeld;
}

void platformReleaseInstanceLock() {
    if (holderMapping) CloseHandle(holderMapping);
    if (heldMutex) CloseHandle(heldMutex);
    holderMapping = heldMutex = nullptr;
}
