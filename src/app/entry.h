// The console entry point: options, the airport to trace, then the run sequence.
#pragma once

// Handles an option in the first argument: --help, --version, or the options without the simulator
// (offline_request.h), which refuse anything they do not know. Returns the exit code when the program
// must end here, or -1 to go on.
int handleOptions(int argc, char** argv);

// Takes the airport to trace from the first argument: at most its first 7 characters.
void takeDebugAirport(int argc, char** argv);

// 1 when the command line starts kestrel or builds kestrel.dat (--build): both write what a running
// kestrel uses, so both need the instance lock. The other options read only and work beside one.
int takesInstanceLock(int argc, char** argv);

// Takes the lock that keeps to one kestrel at a time. When another kestrel holds it, says so at level 0
// and returns 0; the caller then ends with exit code 1 before it opens the link or touches a file.
int takeInstanceLock();

// Everything main() does; returns the process exit code. In order: the console (binary output, and
// QuickEdit off in a console of its own), the options that take no lock, the instance lock, the run or
// --build, then after a failed start the wait for Enter in a console of its own.
int kestrelMain(int argc, char** argv);
