// What the simulator link asks the system about the simulator's folder: the executable of a simulator
// running on this machine, whether its file accesses are virtualised, and whether a folder can be
// opened.
#pragma once

#include <cstdint>

// The file name of the first module (the executable) of the process that owns the top-level window of
// class "FS98MAIN", at most size - 1 characters plus a NUL. Returns 1 when a name was written, 0 when
// there is no such window, process or module. On POSIX there is never a local simulator: 0.
int platformSimExecutablePath(char* out, uint32_t size);

// 1 when `path` (a Windows path, normally ending with a backslash) opens as a directory for reading
// (CreateFileA with FILE_FLAG_BACKUP_SEMANTICS), else 0.
int platformDirectoryOpens(const char* path);

// How the system treats the file accesses of the process that owns the top-level window of class
// "FS98MAIN": virtualised (its writes below a Program Files folder go to the VirtualStore), elevated
// (never virtualised; also what a process kestrel may not even query must be), not virtualised for
// another reason (UAC off, a manifest), or unknown (no such window or process, or a system without
// virtualisation). On POSIX always unknown.
enum class SimVirtualisation { unknown, virtualised, elevated, notVirtualised };
SimVirtualisation platformSimVirtualisation();
