#include "app/sim_wait.h"

#include "app/main_loop.h"
#include "core/core_state.h"
#include "core/log.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"

namespace {

// Short enough that a Ctrl+C between two attempts ends the wait at once.
constexpr uint32_t kSleepSliceMs = 10;

void sayReason(uint32_t reason) {
    if (reason == kSimFolderNotReported)
        logMessage(0, "%s", kSimFolderProblem);
    else
        logMessage(0, "FSUIPC connection failed: %s", ipcResultText(reason));
}

void showTitle(const SimWaitSteps& steps, int waiting) {
    char title[kTitleSize];
    formatConsoleTitle(nullptr, waiting, title);
    steps.setTitle(title);
}

// 1 when the stop was asked meanwhile. Timed by the clock, not by counting slices, which real Windows
// stretches to its tick.
int sleepUnlessStopped(const SimWaitSteps& steps) {
    const uint32_t start = steps.ticks();
    while (static_cast<uint32_t>(steps.ticks() - start) < kSimWaitRetryMs) {
        if (core.stopRequested.isSet()) return 1;
        steps.sleep(kSleepSliceMs);
    }
    return core.stopRequested.isSet() ? 1 : 0;
}

}  // namespace

SimAnswer openFailureMeaning(uint32_t result, uint32_t interfaceVersion, uint32_t simVersion) {
    switch (result) {
        case kIpcOk:
        case kIpcAlreadyOpen:
            return SimAnswer::answered;
        case kIpcNoServer:
        case kIpcTimedOut:
        case kIpcSendFailed:
        case kIpcBadReply:
            return SimAnswer::notYet;
        case kIpcWrongVersion:
        case kIpcWrongVersionRemote: {
            // A word of 0 was not filled in yet; only a word that is there and wrong is the wrong version.
            const bool interfaceWrong =
                interfaceVersion != 0 && !(interfaceVersion > kIpcMinimumInterfaceVersion);
            const bool simWrong = simVersion != 0 && (simVersion >> 16) != kIpcSimMarker;
            const bool unread = interfaceVersion == 0 || simVersion == 0;
            return unread && !interfaceWrong && !simWrong ? SimAnswer::notYet : SimAnswer::refused;
        }
        default:  // Windows refused the message, the atom, the mapping or the view; or a fault of the client
            return SimAnswer::refused;
    }
}

SimWaitEnd waitForSimulator(const SimWaitSteps& steps) {
    bool waiting = false;
    uint32_t said = 0;
    for (;;) {
        const SimAttempt attempt = steps.attempt();
        if (core.stopRequested.isSet()) return SimWaitEnd::stopped;  // an attempt cut short says nothing
        if (attempt.answer != SimAnswer::notYet) {
            if (waiting) showTitle(steps, 0);
            if (attempt.answer == SimAnswer::answered) return SimWaitEnd::answered;
            sayReason(attempt.reason);
            return SimWaitEnd::refused;
        }
        if (!waiting || attempt.reason != said) sayReason(attempt.reason);
        said = attempt.reason;
        if (!waiting) {
            logMessage(
                0,
                "kestrel waits for FS9 (or WideClient) to answer. Ctrl+C or closing this window stops it.");
            showTitle(steps, 1);
            waiting = true;
        }
        if (sleepUnlessStopped(steps)) return SimWaitEnd::stopped;
    }
}
