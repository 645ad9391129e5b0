// The run sequence: settings, simulator link, simulator folder, airport database, then the main loop
// until a console control event asks to stop.
#pragma once

#include <cstdint>

// Returns 0 after an orderly stop, 1 when start-up failed.
int runApplication();

// Registered with the system once the database is ready: asks the main loop to stop.
int consoleCtrlHandler(uint32_t ctrlType);

// The paths of kestrel.dat and kestrel.ini in kestrel's folder (core/kestrel_folder.h).
void buildPaths();

// The level-0 line that ends a start-up whose simulator folder could not be used.
void logInitFailed();
