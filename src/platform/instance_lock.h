// One kestrel at a time: two would fight over the tower view and write the same files.
#pragma once

#include <cstdint>

enum : int {
    kInstanceLockUnavailable = -1,  // the lock could not be set up at all (no run directory, ...)
    kInstanceRunning = 0,           // another process holds it
    kInstanceLockHeld = 1,          // this process holds it until it ends
};

// Takes the lock named `name` for the rest of the process's life. On Windows it is a mutex of the logon
// session ("Local\<name>-instance"), so every kestrel of the session excludes every other, whatever its
// version or folder; elsewhere an flock on "<name>-<uid>.lock" in the simulator run directory of the IPC
// stand-in, which must be a regular file of this user with one link. Either way the system releases it
// when the process ends, however it ends.
// On kInstanceRunning, `otherProcessId` gets the holder's process id, or 0 when it cannot be told; on
// kInstanceLockUnavailable the system's last error says why.
int platformAcquireInstanceLock(const char* name, uint32_t* otherProcessId);

// Gives the lock back. The program never does (the end of the process does); tests do.
void platformReleaseInstanceLock();
