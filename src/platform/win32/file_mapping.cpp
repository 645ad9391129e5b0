#include <windows.h>

#include "platform/platform.h"

namespace {

HANDLE toHandle(PlatformHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// PrefetchVirtualMemory (Windows 8 and later) is looked up at run time: an import of it would keep
// kestrel from starting on older Windows, where a view's bytes then come in as they are touched.
struct PrefetchRange {
    void* address;
    SIZE_T bytes;
};
using PrefetchVirtualMemoryFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR, PrefetchRange*, ULONG);

PrefetchVirtualMemoryFn prefetchFunction() {
    static const PrefetchVirtualMemoryFn function = [] {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        FARPROC found = kernel ? GetProcAddress(kernel, "PrefetchVirtualMemory") : nullptr;
        return reinterpret_cast<PrefetchVirtualMemoryFn>(reinterpret_cast<void (*)()>(found));
    }();
    return function;
}

}  // namespace

PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file) {
    HANDLE mapping = CreateFileMappingA(toHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    return mapping ? reinterpret_cast<PlatformHandle>(mapping) : kInvalidHandle;
}

// A view has no access advice on Windows: a fault reads a small cluster around it, never the whole
// view, so `access` changes nothing here.
const uint8_t* platformMapReadOnlyView(PlatformHandle file, PlatformHandle mapping, size_t& length,
                                       ViewAccess /*access*/) {
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

void platformPrefetchView(const uint8_t* bytes, size_t size) {
    PrefetchVirtualMemoryFn prefetch = prefetchFunction();
    if (!prefetch || !bytes || size == 0) return;
    PrefetchRange range{const_cast<uint8_t*>(bytes), size};
    prefetch(GetCurrentProcess(), 1, &range, 0);
}

void platformUnmapView(const uint8_t* view, size_t /*length*/) {
    if (view) UnmapViewOfFile(view);
}
