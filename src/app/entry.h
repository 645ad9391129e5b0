// The console entry point: options, the airport to trace, then the run sequence.
#pragma once

#include <cstddef>

// Handles the first argument: --help (or -h, -?, /?), --version, the options without the simulator
// (offline_request.h), which refuse anything they do not know, and refuses anything else that is not an
// airport identifier. Returns the exit code when the program must end here, or -1 to go on.
int handleOptions(int argc, char** argv);

// The longest airport identifier the scenery can hold.
constexpr size_t kAirportIdentifierMax = 5;

// 1 when `text` can name an airport: 1 to kAirportIdentifierMax letters and digits, else 0.
int isAirportIdentifier(const char* text);

// Takes the airport to trace from the first argument when it is an airport identifier.
void takeDebugAirport(int argc, char** argv);

// Everything main() does; returns the process exit code. In order: kestrel's folder (the program's), the
// console (binary output, and QuickEdit off in a console of its own); the instance lock and --build, or
// the options that take no lock, or the instance lock and the run; then the lock given back, the log
// closed and QuickEdit restored; and, in a console of its own, what consoleEndFor says: after a failed
// start or a wrong command line (not after a stop, and not in a hidden window) the wait for Enter,
// after a start that another kestrel refused its line for a few seconds.
int kestrelMain(int argc, char** argv);
