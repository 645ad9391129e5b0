#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace {
// Beyond this size the kernel is told that a file is read front to back; below it its own read-ahead
// covers the file, and the advice would only cost two system calls per file (most BGL files are a
// few kilobytes).
constexpr size_t kAdviseBeyondBytes = 128 * 1024;
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

const uint8_t* platformMapReadOnlyView(PlatformHandle /*file*/, PlatformHandle mapping, size_t& length) {
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
    // Scenery and index files are read front to back once (the advice values are not flags: one
    // call each).
    if (size > kAdviseBeyondBytes) {
        ::madvise(view, size, MADV_SEQUENTIAL);
        ::madvise(view, size, MADV_WILLNEED);
    }
    length = size;
    return static_cast<const uint8_t*>(view);
}

void platformUnmapView(const uint8_t* view, size_t length) {
    if (view) ::munmap(const_cast<uint8_t*>(view), length);
}
