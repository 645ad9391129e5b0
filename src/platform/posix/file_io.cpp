#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_io.h"
#include "platform/posix/native_path.h"

FileHandle platformOpenFileForReading(const char* path) {
    int fd = open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    return fd < 0 ? kInvalidFileHandle : fd;
}

FileHandle platformCreateFileForWriting(const char* path) {
    int fd = open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kInvalidFileHandle : fd;
}

int platformReadFile(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) {
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

int platformWriteFile(FileHandle file, const void* buffer, uint32_t size, uint32_t* bytesWritten) {
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(static_cast<int>(file), static_cast<const char*>(buffer) + done, size - done);
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

int platformRewindFile(FileHandle file) {
    return lseek(static_cast<int>(file), 0, SEEK_SET) == 0 ? 1 : 0;
}

int platformFileSize(FileHandle file, uint64_t* size) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return 0;
    *size = static_cast<uint64_t>(info.st_size);
    return 1;
}

void platformCloseFile(FileHandle file) {
    if (file != kInvalidFileHandle) close(static_cast<int>(file));
}

int platformReplaceFile(const char* from, const char* to) {
    return std::rename(nativePath(from).c_str(), nativePath(to).c_str()) == 0 ? 1 : 0;
}

int platformDeleteFile(const char* path) {
    return unlink(nativePath(path).c_str()) == 0 ? 1 : 0;
}
