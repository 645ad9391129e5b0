// The console: standard output, the window title and console control events.
#pragma once

#include <cstdint>

// Makes standard output and standard error carry the program's bytes unchanged (binary mode on
// Windows, where the C runtime would otherwise turn every "\r\n" into "\r\r\n").
void platformInitConsole();

// The line end of text printed for other programs to read (listings, answers, reasons): CR LF on
// Windows, LF elsewhere. The log keeps its CR LF everywhere.
#ifdef _WIN32
constexpr const char* kPlatformLineEnd = "\r\n";
#else
constexpr const char* kPlatformLineEnd = "\n";
#endif

// Sets the title of the console window (on a POSIX terminal: the terminal's title, when stderr is one).
void platformSetConsoleTitle(const char* title);

// Console control events: Ctrl+C, Ctrl+Break, closing the console, logoff, shutdown. On POSIX the
// signals SIGINT, SIGTERM and SIGHUP stand for them.
enum : uint32_t {
    kCtrlCEvent = 0,
    kCtrlBreakEvent = 1,
    kCtrlCloseEvent = 2,
    kCtrlLogoffEvent = 5,
    kCtrlShutdownEvent = 6,
};

// A handler gets the control type and returns non-zero when it handled the event. On Windows it runs
// on a thread the system creates for the event; on POSIX inside the signal handler, so it may only
// touch lock-free atomics and call platformSleep.
using ConsoleCtrlHandler = int (*)(uint32_t ctrlType);

// Adds a handler to the process's list of console control handlers. Returns 1 on success.
int platformAddConsoleCtrlHandler(ConsoleCtrlHandler handler);

// Says that the program's stop path is complete: the link is closed and the last line logged. Windows
// ends the process as soon as the handler of a console close, logoff or shutdown event returns, so
// there the handler waits for this, about 4 s at most (within the system's own grace of 5 s). Other
// events, and POSIX signals, do not wait.
void platformConsoleStopDone();
