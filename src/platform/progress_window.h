// The indexing progress display: a small window on a thread of its own that never takes the foreground
// (Windows), or a status line on the terminal (POSIX). The program's progress operations drive it; it
// never writes to standard output, which carries only the log.
#pragma once

#include <cstdint>

// The display's three texts, in their order on screen.
enum ProgressText : uint32_t {
    kProgressHeadline = 0,
    kProgressFileCount = 1,
    kProgressAirportCount = 2,
};

// Starts the display and returns at once; on Windows the window comes up on its own thread.
void platformProgressOpen();

// 1 once the display can take updates (the window's progress bar exists), else 0.
int platformProgressReady();

// Replaces one of the texts. Waits until the display has taken it; no effect without a display.
void platformProgressSetText(ProgressText which, const char* text);

// The bar's range becomes 0..maximum.
void platformProgressSetRange(uint16_t maximum);

// The amount one step advances the bar.
void platformProgressSetStep(uint16_t step);

// Advances the bar by one step.
void platformProgressStep();

// Ends the display (on Windows: the destroy notification, which ends the window thread). Does not wait
// for the thread to end.
void platformProgressClose();
