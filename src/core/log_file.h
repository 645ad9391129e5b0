// kestrel.log: a copy of every console line of the run, with the time of day in front, so that a pilot
// can send it when asking for help. Each message is written to the system as it is logged (no buffer
// of our own), so the log of a run that crashed ends with its last line.
#pragma once

#include <cstddef>

// Replaces the file at `path` with an empty log and sends every later printed line there too. Returns
// 1, or 0 after one console line saying the run goes on without a log file.
int openLogFile(const char* path);

// Ends the copy and closes the file (the process's end closes it too).
void closeLogFile();

// The log's half of logMessage: writes the printed message, each of its lines behind the time of day.
// A failed write closes the file after one console line.
void writeLogFile(const char* bytes, size_t length);
