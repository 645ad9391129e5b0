// A start before the simulator answers waits for it. Started by the interface's own auto-start, by a
// batch file, or by a pilot who starts kestrel first, kestrel tries again every 2 s until FS9 (or
// WideClient) answers and reports its folder. Only what Windows itself refused, or an interface whose
// version kestrel cannot use, ends the start.
#pragma once

#include <cstdint>

// What a failed attempt means for the start.
enum class SimAnswer {
    answered,  // the link is open and the simulator reported its folder
    notYet,    // no simulator, or one that is not ready: try again
    refused,   // the start fails
};

// Why an attempt failed: an IPC result code (kIpc...), or kSimFolderNotReported when the link opened but
// the folder came back empty (the interface does not know the simulator yet) or not at all.
constexpr uint32_t kSimFolderNotReported = 0x100;

struct SimAttempt {
    SimAnswer answer = SimAnswer::answered;
    uint32_t reason = 0;
};

// What a failed open of the link means: `result` and the version words its handshake read. A missing
// window, a send that failed or was not answered, a reply that is not 1, and a version word of 0 (the
// interface not ready yet, WideClient not yet connected to its server) wait; what Windows refused (the
// message, the atom, the mapping, the view) and a non-zero version kestrel cannot use end the start.
SimAnswer openFailureMeaning(uint32_t result, uint32_t interfaceVersion, uint32_t simVersion);

constexpr uint32_t kSimWaitRetryMs = 2000;

struct SimWaitSteps {
    SimAttempt (*attempt)();  // opens the link and asks the simulator's folder
    void (*setTitle)(const char* title);
    void (*sleep)(uint32_t milliseconds);
    uint32_t (*ticks)();  // milliseconds, wrapping: a Windows Sleep(10) lasts a tick of about 16 ms
};

enum class SimWaitEnd { answered, refused, stopped };

// Attempts until one is answered or refused, kSimWaitRetryMs after each that was not, and ends at once
// when core.stopRequested is set. The first reason to wait is said at level 0, then that kestrel waits
// and how to stop it; a later reason only when it differs from the one said last. The console title
// says that kestrel waits until the wait ends. A refusal says its reason; the caller says the rest.
SimWaitEnd waitForSimulator(const SimWaitSteps& steps);
