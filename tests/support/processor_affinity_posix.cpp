#include <sched.h>

#include "support/processor_affinity.h"

// The calling thread's set, which the threads it starts take over: the tests run on one thread.
uint64_t processorMask() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
    uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &set)) mask |= uint64_t{1} << cpu;
    return mask;
}

bool setProcessorMask(uint64_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int cpu = 0; cpu < 64; ++cpu)
        if (mask >> cpu & 1) CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}
