#include <windows.h>

#include "platform/platform.h"

namespace {

HANDLE toHandle(PlatformHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file) {
    HANDLE mapping = CreateFileMappingA(toHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    return mapping ? reinterpret_cast<PlatformHandle>(mapping) : kInvalidHandle;
}

const uint8_t* platformMapReadOnlyView(PlatformHandle file, PlatformHandle mapping, size_t& length) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(toHandle(file), &size)) return nullptr;
    if (static_cast<unsigned long long>(size.QuadPart) > static_cast<size_t>(-1)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* view = MapViewOfFile(toHandle(mapping), FILE_MAP_READ, 0, 0, 0);
    if (!view) return nullptr;
    length = static_cast<size_t>(size.QuadPart);
    return static_cast<const uint8_t*>(view);
}

void platformUnmapView(const uint8_t* view, size_t /*length*/) {
    if (view) UnmapViewOfFile(view);
}
