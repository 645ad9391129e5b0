// Files through handles: opening, reading, writing, closing, renaming; and what a path names.
#pragma once

#include <cstdint>

// A file or mapping handle. Win32 handles fit in an intptr_t; the invalid value is the one CreateFileA
// returns on failure (INVALID_HANDLE_VALUE), also used for "no mapping".
using PlatformHandle = intptr_t;
constexpr PlatformHandle kInvalidHandle = -1;

// Opens an existing file for reading, sharing it for reading with others, with no special attributes
// (CreateFileA). kInvalidHandle on failure, with the system's last error set. A folder does not open,
// nor a file that another program holds open without sharing it for reading (POSIX: one on which
// another open file holds a write lock, F_OFD_SETLK).
PlatformHandle platformOpenFileForReading(const char* path);

// 1 when the file at `path` can be opened for reading (opened and closed again at once), else 0.
int platformCanOpenForReading(const char* path);

// Creates a file for writing, replacing any file of that name; others may only read it meanwhile.
PlatformHandle platformCreateFileForWriting(const char* path);

// Reads up to `size` bytes; returns 1 and the count read (0 at the end), or 0 on failure.
int platformReadFile(PlatformHandle file, void* buffer, uint32_t size, uint32_t* bytesRead);

// Writes `size` bytes; returns 1 and the count written, or 0 on failure.
int platformWriteFile(PlatformHandle file, const void* buffer, uint32_t size, uint32_t* bytesWritten);

// For tests of full disks: a limit asked before each platformWriteFile how many of its bytes may be
// written. When it allows fewer than asked, those are written and the write fails as on a full disk
// (the last error says so). Null, the default, lets every write through.
using PlatformWriteLimit = uint32_t (*)(PlatformHandle file, uint32_t size);
void platformSetWriteLimit(PlatformWriteLimit limit);

// Writes what the system still holds of the file out to the disk (fsync, FlushFileBuffers), so that
// a file renamed into place after it cannot be found empty or half written after a power loss.
// Returns 1 on success, also on a file system that has no such flush (a RAM disk, some network
// redirectors), where the data is as safe as that file system makes it.
int platformFlushFile(PlatformHandle file);

// Moves the file position back to the first byte. Returns 1 on success.
int platformRewindFile(PlatformHandle file);

// The file's size in bytes. Returns 1 on success.
int platformFileSize(PlatformHandle file, uint64_t* size);

// Closes a handle from any of these functions or from the file mapping ones; ignores kInvalidHandle.
void platformCloseHandle(PlatformHandle handle);

// Renames `from` to `to`, replacing an existing `to` in one step. Returns 1 on success; on failure
// both files are as they were and the last error says why. On Windows a rename refused because
// another program holds either file open (access denied, sharing or lock violation) is tried again
// for kReplaceRetryMilliseconds, kReplaceRetryPauseMilliseconds apart.
int platformReplaceFile(const char* from, const char* to);
constexpr uint32_t kReplaceRetryMilliseconds = 1000;
constexpr uint32_t kReplaceRetryPauseMilliseconds = 20;

// Removes a file. Returns 1 on success.
int platformDeleteFile(const char* path);

// The size and last-write time of the file (or folder) at `path`, asked without opening it, so that a
// file another program holds open answers too (GetFileAttributesExA; stat). The time is in Windows
// FILETIME ticks, 100 ns since 1601-01-01 UTC, on every platform: POSIX converts the modification time
// exactly as Wine does, so a native and a Wine build read the same value for the same file. Returns 1,
// or 0 with the last error set.
int platformFileStamp(const char* path, uint64_t* size, uint64_t* writeTime);

// 1 when `code`, the last error of a failed open or stamp, says that nothing is there to read: no such
// file or folder, a drive that is not there or holds no disk, a network path or share that does not
// exist or is no disk (Windows, Wine); ENOENT or ENOTDIR (POSIX). Any other failure (denied, held open,
// unreadable) is 0.
int platformIsMissingFileError(uint32_t code);
