// Where the POSIX stand-in of the IPC transport meets its server: one Unix socket per window class in a
// run directory. The client transport and kestrel-sim both use these, so they always agree.
#pragma once

#include <string>

// $KESTREL_RUN_DIR when set and not empty (tests give every run its own), else $XDG_RUNTIME_DIR, else
// the system's temporary directory.
std::string ipcRunDir();

// The socket that stands for the top-level window of class `className`.
std::string ipcSocketPath(const char* className);

// A send carries the atom's name and its NUL; names are at most this long.
constexpr size_t kIpcMaxNameLength = 255;
