// Where a start's time goes: each step of the start-up ends with a level-5 line that says how many
// milliseconds after the entry point it was done (scripts/bench startup reads them). They count the
// system tick, which real Windows advances in steps of about 16 ms.
#pragma once

#include <cstdint>

// Takes the entry point's time; the marks count from here.
void startupMarkEntry();

// Milliseconds since startupMarkEntry.
uint32_t startupElapsedMs();

// "Start-up: <step> at <ms> ms" at level 5, with the time of now.
void startupMark(const char* step);
// The same with a time taken earlier (a step done before the log level was known).
void startupMarkAt(const char* step, uint32_t elapsedMs);
