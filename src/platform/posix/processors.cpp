#include <sched.h>

#include <cerrno>
#include <thread>

#include "platform/platform.h"

uint32_t platformUsableProcessors() {
    // The set must be as large as the kernel's mask: on a machine of more than CPU_SETSIZE processors
    // the call fails with EINVAL until it is.
    for (int size = CPU_SETSIZE; size <= (1 << 20); size *= 2) {
        cpu_set_t* set = CPU_ALLOC(size);
        if (!set) break;
        const size_t bytes = CPU_ALLOC_SIZE(size);
        const int got = sched_getaffinity(0, bytes, set);
        const int error = errno;
        const int count = got == 0 ? CPU_COUNT_S(bytes, set) : 0;
        CPU_FREE(set);
        if (count > 0) return static_cast<uint32_t>(count);
        if (got == 0 || error != EINVAL) break;
    }
    const unsigned all = std::thread::hardware_concurrency();
    return all ? all : 1;
}
