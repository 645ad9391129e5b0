#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_io.h"
#include "platform/posix/native_path.h"

PlatformHandle platformCreateFileForWriting(const char* path) {
    int fd = open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kInvalidHandle : fd;
}

int platformReadFile(PlatformHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) {
    // Like ReadFile on a disk file: keep reading until the count is complete or the file ends.
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = read(static_cast<int>(file), static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *bytesRead = done;
            return 0;
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    *bytesRead = done;
    return 1;
}

namespace {

PlatformWriteLimit writeLimit = nullptr;

int writeFully(int fd, const void* buffer, uint32_t size, uint32_t* bytesWritten) {
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, static_cast<const char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *bytesWritten = done;
            return 0;
        }
        done += static_cast<uint32_t>(n);
    }
    *bytesWritten = done;
    return 1;
}

}  // namespace

void platformSetWriteLimit(PlatformWriteLimit limit) {
    writeLimit = limit;
}

int platformWriteFile(PlatformHandle file, const void* buffer, uint32_t size, uint32_t* bytesWritten) {
    const uint32_t allowed = writeLimit ? writeLimit(file, size) : size;
    if (allowed >= size) return writeFully(static_cast<int>(file), buffer, size, bytesWritten);
    writeFully(static_cast<int>(file), buffer, allowed, bytesWritten);
    errno = ENOSPC;
    return 0;
}

int platformFlushFile(PlatformHandle file) {
    return ::fsync(static_cast<int>(file)) == 0 || errno == EINVAL || errno == EROFS ? 1 : 0;
}

int platformRewindFile(PlatformHandle file) {
    return lseek(static_cast<int>(file), 0, SEEK_SET) == 0 ? 1 : 0;
}

int platformFileSize(PlatformHandle file, uint64_t* size) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return 0;
    *size = static_cast<uint64_t>(info.st_size);
    return 1;
}

int platformReplaceFile(const char* from, const char* to) {
    return std::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0 ? 1 : 0;
}

int platformDeleteFile(const char* path) {
    return unlink(nativePath(path).c_str()) == 0 ? 1 : 0;
}

namespace {

// Windows refuses to open a file that another program holds without sharing it for reading. The
// stand-in of such a hold is a write lock of another open file (an open-file-description lock, which
// even another open of the same process holds against this one).
bool heldByAnother(int fd) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

}  // namespace

PlatformHandle platformOpenFileForReading(const char* path) {
    // Non-blocking, so that a FIFO or a device named in a scenery file cannot hold the open forever.
    // The flag stays: reads of a regular file, the only kind kept, never wait and never stop short.
    int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kInvalidHandle;
    struct stat info;
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;  // Windows refuses to open a folder as a file
    else if (!S_ISREG(info.st_mode))
        error = ENOENT;  // a FIFO, socket or device is no file to read: it counts as missing
    else if (heldByAnother(fd))
        error = EBUSY;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return kInvalidHandle;
    }
    return fd;
}

int platformCanOpenForReading(const char* path) {
    PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) return 0;
    platformCloseHandle(file);
    return 1;
}

void platformCloseHandle(PlatformHandle handle) {
    if (handle != kInvalidHandle) ::close(static_cast<int>(handle));
}

namespace {

// Wine's conversion of a POSIX time to FILETIME ticks: seconds from 1601 to 1970 added, then 100 ns units.
constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;

}  // namespace

int platformFileStamp(const char* path, uint64_t* size, uint64_t* writeTime) {
    struct stat info;
    if (::stat(nativePath(path).c_str(), &info) != 0) return 0;
    *size = static_cast<uint64_t>(info.st_size);
    *writeTime = (static_cast<uint64_t>(info.st_mtim.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                 static_cast<uint64_t>(info.st_mtim.tv_nsec) / 100;
    return 1;
}

int platformIsMissingFileError(uint32_t code) {
    return code == ENOENT || code == ENOTDIR ? 1 : 0;
}
