// Reading the simulator's files as FS9 itself sees them. FS9 is a 32-bit program without a manifest:
// with UAC, its writes below a Program Files folder (scenery.cfg, the areas' scenery.dat) go to a copy
// in the user's VirtualStore folder, and FS9 reads that copy back from then on. kestrel is never
// virtualised, so while the rule is on, every read of a file below a Program Files folder goes to its
// VirtualStore copy where one exists. Writes, and relative paths (kestrel's own files in its working
// folder), always go to the path itself.
//
// The path arithmetic is portable; the folders, and whether FS9 runs virtualised, come from the system.
#pragma once

#include <cstddef>

constexpr size_t kVirtualStoreFolderSize = 260;
// A copy's path: the VirtualStore folder in front of a path of up to 259 characters.
constexpr size_t kVirtualStorePathSize = 2 * kVirtualStoreFolderSize;
constexpr int kVirtualStoreProgramFolders = 3;

// The folders the rule maps between, each a drive path ending with a backslash; an empty text is none.
struct VirtualStoreFolders {
    // "C:\Program Files\", "C:\Program Files (x86)\": each one once.
    char programFiles[kVirtualStoreProgramFolders][kVirtualStoreFolderSize];
    // "C:\Users\pilot\AppData\Local\VirtualStore\"
    char store[kVirtualStoreFolderSize];
};

// The Program Files folder that holds `path` (an index into programFiles), or -1. Compared as Windows
// compares paths: letters in any case, '/' and '\' alike.
int virtualStoreProgramFolderOf(const VirtualStoreFolders& folders, const char* path);

// The path of the VirtualStore copy of `path` into `out`: the store folder followed by the path
// without its drive ("C:\Program Files (x86)\FS9\scenery.cfg" becomes "...\VirtualStore\Program Files
// (x86)\FS9\scenery.cfg"). 1 when `path` lies below a Program Files folder and the result fits in
// `size` bytes, else 0.
int virtualStoreCopyPath(const VirtualStoreFolders& folders, const char* path, char* out, size_t size);

// This system's folders. 0 when it keeps no VirtualStore copies (Windows XP, POSIX).
int platformVirtualStoreFolders(VirtualStoreFolders& folders);

// Turns the rule on with these folders (copied), or off with null. Off at start.
void platformReadVirtualStoreCopies(const VirtualStoreFolders* folders);

// The path a read of `path` opens: its VirtualStore copy when the rule is on, `path` lies below a
// Program Files folder and the copy exists as a file (the copy's path is then written to `buffer`,
// `size` bytes, kVirtualStorePathSize will do); `path` itself otherwise. Every read-side call that
// takes a path goes through this (on POSIX it is always `path`).
const char* platformReadPath(const char* path, char* buffer, size_t size);
