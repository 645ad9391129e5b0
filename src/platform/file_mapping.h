// Read-only access to whole files: opening, mapping and the open test, plus the path and text helpers
// that go with reading the simulator's files.
#pragma once

#include <cstddef>
#include <cstdint>

// A file or mapping handle. Win32 handles fit in an intptr_t; the invalid value is the one CreateFileA
// returns on failure (INVALID_HANDLE_VALUE), also used for "no mapping".
using PlatformHandle = intptr_t;
constexpr PlatformHandle kInvalidHandle = -1;

// Opens an existing file for reading, sharing it for reading with others, with no special attributes
// (CreateFileA). kInvalidHandle on failure, with the system's last error set.
PlatformHandle platformOpenFileForReading(const char* path);

// Creates a read-only mapping of the whole file (CreateFileMappingA). kInvalidHandle on failure, with
// the last error set; an empty file cannot be mapped and fails here on every platform.
PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file);

// Maps a read-only view of the whole mapping (MapViewOfFile) and stores the file's size in `length`.
// Null on failure, with the last error set.
const uint8_t* platformMapReadOnlyView(PlatformHandle file, PlatformHandle mapping, size_t& length);

// Releases a view returned by platformMapReadOnlyView.
void platformUnmapView(const uint8_t* view, size_t length);

// Closes a handle from platformOpenFileForReading or platformCreateReadOnlyMapping.
void platformCloseHandle(PlatformHandle handle);

// 1 when the file at `path` can be opened for reading (opened and closed again at once), else 0.
int platformCanOpenForReading(const char* path);

// Lower-cases `text` in place (CharLowerA; ASCII letters only on POSIX).
void platformCharLower(char* text);

// 1 when `path` is absolute in a way the program's own Windows-path rules (drive colon, two leading
// backslashes) do not cover: never on Windows; on POSIX a path that begins with '/'.
int platformIsNativeAbsolutePath(const char* path);
