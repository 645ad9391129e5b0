// The transport side of kestrel-sim: a Unix socket server on POSIX, a real window with a message loop
// on Windows. Both hand every block to the Core.
#pragma once

#include <atomic>

#include "sim_core.h"

namespace sim {

// Set by the console control handler (Ctrl+C, SIGINT, SIGTERM); the server loop ends when it sees it.
extern std::atomic<bool> stopRequested;

// Answers as options.className until a stop is requested or the core has finished. Prints the ready
// line once it answers. Returns the exit code: 0 after a clean stop, 1 when it could not start.
int runServer(Core& core, const Options& options);

}  // namespace sim
