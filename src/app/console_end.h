// How a run that ends in a console window of its own (a double-click, a shortcut, the simulator's
// auto-start) leaves its last lines on screen before the window closes with it.
#pragma once

#include <cstdint>

enum class ConsoleEnd {
    close,         // at once
    showLine,      // kRefusedLineMs, then close: a start refused because another kestrel runs
    waitForEnter,  // until the pilot has read why: a failed start or a wrong command line
};

constexpr uint32_t kRefusedLineMs = 5000;

// The end of a run with `exitCode` in a console of its own. A stop, a run that went well and a window
// that nobody sees (the start-up information asked for a hidden one) close at once. A start refused
// because another kestrel runs shows its line only for a while, so that a kestrel started by hand
// before the simulator's auto-start leaves no stray window behind at every flight.
ConsoleEnd consoleEndFor(int exitCode, bool refusedAsRunning, bool stopped, bool hidden);
