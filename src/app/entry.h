// The console entry point: options, the airport to trace, then the run sequence.
#pragma once

// Handles an option in the first argument: --help, --version, or the options without the simulator
// (offline_request.h), which refuse anything they do not know. Returns the exit code when the program
// must end here, or -1 to go on.
int handleOptions(int argc, char** argv);

// Takes the airport to trace from the first argument: at most its first 7 characters.
void takeDebugAirport(int argc, char** argv);

// Everything main() does; returns the process exit code. In order: the console (binary output, and
// QuickEdit off in a console of its own); the instance lock and --build, or the options that take no
// lock, or the instance lock and the run; then, in a console of its own, after a failed start or a
// wrong command line (exit code 1 or 2, not after a stop) the wait for Enter, and QuickEdit restored.
int kestrelMain(int argc, char** argv);
