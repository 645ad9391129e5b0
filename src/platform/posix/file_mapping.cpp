#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace {
// Beyond this size the kernel is told that a file is read front to back; below it its own read-ahead
// covers the file, and the advice would only cost two system calls per file (most BGL files are a
// few kilobytes).
constexpr size_t kAdviseBeyondBytes = 128 * 1024;
// The most one read-ahead request is sure to read: the kernel cuts each to the device's read-ahead
// window, 128 KiB by default, and the rest would then come in a page per fault.
constexpr size_t kPrefetchChunkBytes = 128 * 1024;
}  // namespace

// A POSIX file has no separate mapping object; the mapping handle is a second descriptor of the same
// file, so the Windows sequence (open, create mapping, map view, unmap, close both) carries over.

PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file) {
    struct stat info;
    if (::fstat(static_cast<int>(file), &info) != 0) return kInvalidHandle;
    if (info.st_size == 0) {
        // As CreateFileMappingA: a mapping of the full size of an empty file does not exist.
        errno = EINVAL;
        return kInvalidHandle;
    }
    int fd = ::fcntl(static_cast<int>(file), F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? kInvalidHandle : fd;
}

const uint8_t* platformMapReadOnlyView(PlatformHandle /*file*/, PlatformHandle mapping, size_t& length,
                                       ViewAccess access) {
    struct stat info;
    int fd = static_cast<int>(mapping);
    if (::fstat(fd, &info) != 0) return nullptr;
    if (info.st_size <= 0) {
        errno = EINVAL;
        return nullptr;
    }
    size_t size = static_cast<size_t>(info.st_size);
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return nullptr;
    if (access == ViewAccess::parts) {
        // No read-around on a fault: it would bring in the neighbouring bytes (up to the device's
        // read-ahead window on each side), which in a BGL file are sections the import skips. What
        // is read comes through platformPrefetchView.
        ::madvise(view, size, MADV_RANDOM);
    } else if (size > kAdviseBeyondBytes) {
        // Read front to back once (the advice values are not flags: one call each).
        ::madvise(view, size, MADV_SEQUENTIAL);
        ::madvise(view, size, MADV_WILLNEED);
    }
    length = size;
    return static_cast<const uint8_t*>(view);
}

void platformPrefetchView(const uint8_t* bytes, size_t size) {
    static const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    if (!bytes || size == 0) return;
    uintptr_t at = reinterpret_cast<uintptr_t>(bytes) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(bytes) + size;
    while (at < end) {
        const uintptr_t chunk = end - at < kPrefetchChunkBytes ? end - at : kPrefetchChunkBytes;
        ::madvise(reinterpret_cast<void*>(at), chunk, MADV_WILLNEED);
        at += chunk;
    }
}

void platformUnmapView(const uint8_t* view, size_t length) {
    if (view) ::munmap(const_cast<uint8_t*>(view), length);
}
