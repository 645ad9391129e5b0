#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

std::atomic<ConsoleCtrlHandler> installedHandler{nullptr};

uint32_t ctrlTypeOf(int signalNumber) {
    switch (signalNumber) {
        case SIGINT:
            return kCtrlCEvent;
        case SIGHUP:
            return kCtrlCloseEvent;
        default:
            return kCtrlShutdownEvent;
    }
}

// Runs inside the signal handler: it only forwards to the program's handler, which sets a lock-free
// flag (and may sleep with nanosleep, which is async-signal-safe).
void onStopSignal(int signalNumber) {
    int savedErrno = errno;
    ConsoleCtrlHandler handler = installedHandler.load();
    if (handler) handler(ctrlTypeOf(signalNumber));
    errno = savedErrno;
}

}  // namespace

void platformInitConsole() {}

void platformSetConsoleTitle(const char* title) {
    // Standard output carries only the log, so the title goes to the terminal on stderr, if any.
    if (!isatty(STDERR_FILENO)) return;
    std::fprintf(stderr, "\033]0;%s\007", title);
    std::fflush(stderr);
}

int platformAddConsoleCtrlHandler(ConsoleCtrlHandler handler) {
    static_assert(std::atomic<ConsoleCtrlHandler>::is_always_lock_free);
    installedHandler.store(handler);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        if (sigaction(signalNumber, &action, nullptr) != 0) return 0;
    return 1;
}

// A signal handler runs on the main thread, which is the one that has to finish the stop: nothing
// waits for it here.
void platformConsoleStopDone() {}
