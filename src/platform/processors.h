// The processors this process may run on: what the load's helper threads are counted from. A process
// confined to fewer than the machine has (by the user, a start command or a job) gains nothing from
// threads beyond them; they would only take turns.
#pragma once

#include <cstdint>

// The processors of the process's affinity, at least 1. Where the system gives no affinity (a process
// spread over several processor groups, a mask too large to ask for), the machine's processors.
uint32_t platformUsableProcessors();
