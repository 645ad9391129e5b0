// Text and path helpers for the simulator's settings and paths.
#pragma once

#include <cstddef>

// Lower-cases `text` in place (CharLowerA; ASCII letters only on POSIX).
void platformCharLower(char* text);

// 1 when `path` is absolute in a way the program's own Windows-path rules (drive colon, two leading
// backslashes) do not cover: never on Windows; on POSIX a path that begins with '/'.
int platformIsNativeAbsolutePath(const char* path);

// The full path of `path`, a relative one taken against the working folder, into `out` (`size` bytes),
// for the lines that name a file; `path` itself when the full one does not fit.
void platformFullPath(const char* path, char* out, size_t size);
