// What a scenery file looked like when it was read: its size and last-write time, or that it was not
// there. A file whose stamp differs later has changed since (an airport editor saving over it, an
// installer replacing it), or has appeared or gone.
#pragma once

#include <cstdint>

struct FileStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;  // FILETIME ticks on every platform (platformFileStamp)
};

// The size that no file has: the stamp of a file that is not there, or could not be asked.
constexpr uint64_t kStampNoFile = ~0ull;
constexpr FileStamp kStampMissing{kStampNoFile, 0};  // nothing of that name (not found, no drive, ...)
constexpr FileStamp kStampUnknown{kStampNoFile, 1};  // the system would not say (denied, ...)

inline bool sameStamp(const FileStamp& a, const FileStamp& b) {
    return a.size == b.size && a.writeTime == b.writeTime;
}

// The stamp of the file at `path`, asked without opening it.
FileStamp fileStampOf(const char* path);
