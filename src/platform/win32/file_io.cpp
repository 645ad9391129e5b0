#include <windows.h>

#include "platform/file_io.h"
#include "platform/virtual_store.h"

namespace {

HANDLE toHandle(PlatformHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

PlatformHandle fromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<PlatformHandle>(handle);
}

}  // namespace

PlatformHandle platformCreateFileForWriting(const char* path) {
    return fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

int platformReadFile(PlatformHandle file, void* buffer, uint32_t size, uint32_t* bytesRead) {
    DWORD done = 0;
    BOOL ok = ReadFile(toHandle(file), buffer, size, &done, nullptr);
    *bytesRead = done;
    return ok ? 1 : 0;
}

namespace {
PlatformWriteLimit writeLimit = nullptr;
}  // namespace

void platformSetWriteLimit(PlatformWriteLimit limit) {
    writeLimit = limit;
}

int platformWriteFile(PlatformHandle file, const void* buffer, uint32_t size, uint32_t* bytesWritten) {
    const uint32_t allowed = writeLimit ? writeLimit(file, size) : size;
    if (allowed < size) {
        DWORD done = 0;
        if (allowed > 0) WriteFile(toHandle(file), buffer, allowed, &done, nullptr);
        *bytesWritten = done;
        SetLastError(ERROR_DISK_FULL);
        return 0;
    }
    DWORD done = 0;
    BOOL ok = WriteFile(toHandle(file), buffer, size, &done, nullptr);
    *bytesWritten = done;
    return ok ? 1 : 0;
}

int platformFlushFile(PlatformHandle file) {
    return FlushFileBuffers(toHandle(file)) || GetLastError() == ERROR_INVALID_FUNCTION ? 1 : 0;
}

int platformRewindFile(PlatformHandle file) {
    return SetFilePointer(toHandle(file), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ? 0 : 1;
}

int platformFileSize(PlatformHandle file, uint64_t* size) {
    DWORD high = 0;
    DWORD low = GetFileSize(toHandle(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return 1;
}

int platformReplaceFile(const char* from, const char* to) {
    // A virus scanner, indexer, backup or sync client, or another kestrel reading the file, holds one
    // of the two open for a moment and the rename is refused meanwhile. The bound is elapsed time, not
    // a number of tries: Sleep lasts at least a tick of 15.6 ms on Windows.
    const DWORD start = GetTickCount();
    for (;;) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
        const DWORD error = GetLastError();
        const bool heldOpen =
            error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!heldOpen || GetTickCount() - start >= kReplaceRetryMilliseconds) {
            SetLastError(error);
            return 0;
        }
        Sleep(kReplaceRetryPauseMilliseconds);
    }
}

int platformDeleteFile(const char* path) {
    return DeleteFileA(path) ? 1 : 0;
}

// Only a file on disk: a reserved device name (CON, AUX, COM1, NUL, also with an extension, as in
// "con.bgl", on Windows before 11) opens a device whose reads can wait for good. It counts as missing.
// Below a Program Files folder the VirtualStore copy FS9 reads is opened where the rule says so.
PlatformHandle platformOpenFileForReading(const char* path) {
    char copy[kVirtualStorePathSize];
    HANDLE file = CreateFileA(platformReadPath(path, copy, sizeof copy), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return kInvalidHandle;
    }
    return reinterpret_cast<PlatformHandle>(file);  // INVALID_HANDLE_VALUE is kInvalidHandle
}

int platformCanOpenForReading(const char* path) {
    PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) return 0;
    platformCloseHandle(file);
    return 1;
}

void platformCloseHandle(PlatformHandle handle) {
    if (handle != kInvalidHandle) CloseHandle(toHandle(handle));
}

int platformFileStamp(const char* path, uint64_t* size, uint64_t* writeTime) {
    // The file a read would open: a VirtualStore copy stamps in the original's place.
    char copy[kVirtualStorePathSize];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(platformReadPath(path, copy, sizeof copy), GetFileExInfoStandard, &data)) return 0;
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    *writeTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                 data.ftLastWriteTime.dwLowDateTime;
    return 1;
}

int platformIsMissingFileError(uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:  // a removable drive without its disk
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_DEV_TYPE:  // what Wine answers for a network path it cannot reach
            return 1;
        default:
            return 0;
    }
}
