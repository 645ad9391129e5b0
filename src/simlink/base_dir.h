// The simulator's installation folder, as the simulator link determines it during start-up.
#pragma once

#include "core/core_state.h"

// A Windows path of at most 259 characters ending with a backslash once set; empty at start.
// Relative scenery paths are taken from here.
extern char basedir[kPathBufferSize];
