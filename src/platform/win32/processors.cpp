#include <windows.h>

#include <thread>

#include "platform/platform.h"

uint32_t platformUsableProcessors() {
    DWORD_PTR process = 0, system = 0;
    // The mask covers one processor group of at most 64; before Windows 11 a process whose threads
    // span several groups gets 0 for both masks.
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        uint32_t count = 0;
        for (; process != 0; process &= process - 1)
            ++count;
        return count;
    }
    const unsigned all = std::thread::hardware_concurrency();
    return all ? all : 1;
}
