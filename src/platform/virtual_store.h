// Reading the simulator's files as FS9 itself sees them. FS9 is a 32-bit program without a manifest:
// with UAC, its writes below a Program Files folder (scenery.cfg, the areas' scenery.dat) go to a copy
// in the user's VirtualStore folder, and FS9 reads that copy back from then on. kestrel is never
// virtualised, so while the rule is on, every read of a file below a Program Files folder goes to its
// VirtualStore copy where one exists. Writes, relative paths and kestrel's own files (which kestrel
// wrote itself) always go to the path itself.
//
// The path arithmetic is portable; the folders, and whether FS9 runs virtualised, come from the system.
#pragma once

#include <cstddef>

#include "platform/program_folder.h"

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
    // kestrel's own folder, whose files are never read from copies; empty: none.
    char own[kVirtualStoreFolderSize] = {};
    // With no `store` on a system that keeps copies: why (unspellable, tooLong or unknown), and the
    // local application data folder for a message (empty when unknown).
    FolderName storeProblem = FolderName::own;
    char storeShown[kVirtualStoreFolderSize] = {};
};

// The Program Files folder that holds `path` (an index into programFiles), or -1. Compared as Windows
// compares paths: letters in any case, '/' and '\' alike.
int virtualStoreProgramFolderOf(const VirtualStoreFolders& folders, const char* path);

// The path of the VirtualStore copy of `path` into `out`: the store folder followed by the path
// without its drive ("C:\Program Files (x86)\FS9\scenery.cfg" becomes "...\VirtualStore\Program Files
// (x86)\FS9\scenery.cfg"). 1 when `path` lies below a Program Files folder, not in the own folder, and
// the result fits in `size` bytes, else 0.
int virtualStoreCopyPath(const VirtualStoreFolders& folders, const char* path, char* out, size_t size);

// 1 when `a` and `b` name the same path as Windows compares them (letters in any case, '/' and '\'
// alike), else 0.
int sameWindowsPath(const char* a, const char* b);

// What a system gives for the rule.
enum class VirtualStoreSystem {
    none,              // it keeps no VirtualStore copies (Windows XP, POSIX)
    found,             // the folders
    noProgramFolders,  // it keeps copies, but names no Program Files folder
    noStore,           // it keeps copies, but the folder of the copies cannot be used (storeProblem)
};

// This system's folders, the own one left empty. The folders come as wide text and are turned into
// ANSI paths without loss, through their short (8.3) names where only those can be spelled.
VirtualStoreSystem platformVirtualStoreFolders(VirtualStoreFolders& folders);

// The long form of `path` (a path in 8.3 form, "C:\PROGRA~2\FS9\") into `out` (`size` bytes): 1 when it
// differs from `path` and the system's code page spells it, else 0 (always on POSIX).
int platformLongPathName(const char* path, char* out, size_t size);

// Turns the rule on with these folders (copied), or off with null. Off at start.
void platformReadVirtualStoreCopies(const VirtualStoreFolders* folders);

// The path a read of `path` opens: its VirtualStore copy when the rule is on, `path` lies below a
// Program Files folder and the copy exists as a file (the copy's path is then written to `buffer`,
// `size` bytes, kVirtualStorePathSize will do); `path` itself otherwise. Every read-side call that
// takes a path goes through this (on POSIX it is always `path`).
const char* platformReadPath(const char* path, char* buffer, size_t size);
