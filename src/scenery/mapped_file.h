// A read-only mapping of a whole file, as the scenery import and the file digests read them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "platform/platform.h"

struct MappedFile {
    PlatformHandle file = kInvalidHandle;     // open file, or kInvalidHandle
    PlatformHandle mapping = kInvalidHandle;  // mapping of the whole file, or kInvalidHandle
    const uint8_t* view = nullptr;            // first byte of the view over the whole file, or null
    size_t length = 0;                        // bytes in the view: the file's size
};

// The mapped bytes, for the bounds-checked readers of core/bytes.h.
inline ByteView mappedBytes(const MappedFile& mapped) {
    return ByteView{mapped.view, mapped.view ? mapped.length : 0};
}

// Why a file could not be mapped.
enum class MapFault {
    none,
    missing,     // nothing of that name is there (not found, no such folder, drive or network path)
    empty,       // it opened, but holds no byte: there is no mapping of an empty file
    unreadable,  // it is there, but would not open or map (held open by another program, denied, ...)
};

// Opens the existing file at `path` for reading, maps all of it read-only and fills `mapped`. Returns 1
// with all fields set; on failure logs the failing step, releases what it acquired, leaves `mapped`
// empty, stores why in `fault` (when given) and returns 0 (the caller must then not call unmapFile).
// `access` says whether all of it will be read, or only the parts asked for with prefetchMapped.
int mapFile(const char* path, MappedFile& mapped, MapFault* fault = nullptr,
            ViewAccess access = ViewAccess::whole);

// The same without a line, for mapping a file ahead of its turn: a failure is left for mapFile to
// report when the file's turn comes.
int mapFileQuietly(const char* path, MappedFile& mapped, ViewAccess access);

// Starts reading `size` bytes at `offset` of mapped bytes in ahead of use, as far as they lie inside
// them: offsets and sizes straight from a file are safe.
void prefetchMapped(ByteView bytes, uint64_t offset, uint64_t size);

// Releases whatever `mapped` holds and leaves it empty.
void unmapFile(MappedFile& mapped);
