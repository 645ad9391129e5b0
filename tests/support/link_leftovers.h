// What a process's simulator link leaves in the system when the process ends without closing it: a
// global atom on Windows (in the session's table until logoff), a shared-memory object on POSIX (until
// the next reboot).
#pragma once

#include <cstdint>

// True when a block named by one of the first `opens` open attempts of process `processId` is left.
bool linkLeftBehind(uint32_t processId, uint32_t opens = 8);
