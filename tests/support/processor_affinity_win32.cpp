#include <windows.h>

#include "support/processor_affinity.h"

uint64_t processorMask() {
    DWORD_PTR process = 0, system = 0;
    return GetProcessAffinityMask(GetCurrentProcess(), &process, &system) ? process : 0;
}

bool setProcessorMask(uint64_t mask) {
    return SetProcessAffinityMask(GetCurrentProcess(), static_cast<DWORD_PTR>(mask)) != 0;
}
