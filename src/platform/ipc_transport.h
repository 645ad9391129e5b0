// The operations the simulator link's IPC protocol is made of: find the server's window, register the
// message, name the shared block with a global atom, create and map the named block, and send the
// message with a timeout.
//
// Windows makes the real calls (a window message to the server, a mapping in the paging file). POSIX
// stands in with a Unix socket per window class in a run directory and a POSIX shared-memory object per
// block name; a send writes the atom's name to the socket and waits for a 4-byte reply. The IPC client
// reaches every operation through this table, so tests can put an in-process server behind it.
#pragma once

#include <cstdint>

using IpcWindow = void*;   // a server window; null: none
using IpcMapping = void*;  // a file-mapping object; null: none

// Last-error value of a mapping that existed before it was created (ERROR_ALREADY_EXISTS).
constexpr uint32_t kIpcErrorAlreadyExists = 183;

struct IpcTransport {
    // FindWindowExA(no parent, no child-after, className, no title).
    IpcWindow (*findWindow)(const char* className);
    // RegisterWindowMessageA; 0 on failure.
    uint32_t (*registerMessage)(const char* name);
    uint32_t (*currentProcessId)();
    // GlobalAddAtomA / GlobalDeleteAtom; 0 on failure.
    uint16_t (*addAtom)(const char* name);
    void (*deleteAtom)(uint16_t atom);
    // CreateFileMappingA in the paging file, read-write, `size` bytes, named `name`. Null on failure. When
    // the name existed already, the existing object is returned and lastError() is kIpcErrorAlreadyExists;
    // after creating a new one, lastError() is 0. (POSIX objects outlive their process: there an object
    // of the name, which carries the client's process id, was left by a dead process and is replaced.)
    IpcMapping (*createMapping)(const char* name, uint32_t size);
    // MapViewOfFile of the whole mapping with write access; null on failure.
    uint8_t* (*mapView)(IpcMapping mapping);
    void (*unmapView)(uint8_t* view);
    void (*closeMapping)(IpcMapping mapping);
    // SendMessageTimeoutA(window, message, wParam, 0, SMTO_BLOCK, timeoutMs, &reply): non-zero when the
    // server answered, with its answer in `reply`; 0 on timeout or failure (see lastError()).
    int (*sendMessage)(IpcWindow window, uint32_t message, uint32_t wParam, uint32_t timeoutMs,
                       uint64_t* reply);
    // GetLastError after the operations above: 0 after a timed-out send, non-zero after a failed one.
    uint32_t (*lastError)();
    void (*sleep)(uint32_t milliseconds);
};

// The platform's transport (Win32 messages, or the POSIX stand-in).
const IpcTransport* platformIpcTransport();
