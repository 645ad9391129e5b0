// Sleeping and the millisecond tick count.
#pragma once

#include <cstdint>

// Suspends the calling thread for about `milliseconds`.
void platformSleep(uint32_t milliseconds);

// Milliseconds since some fixed point, wrapping at 2^32 (GetTickCount).
uint32_t platformTickCount();

// The local time of day, for the log file's lines.
struct PlatformTimeOfDay {
    uint32_t hour;
    uint32_t minute;
    uint32_t second;
    uint32_t millisecond;
};
PlatformTimeOfDay platformTimeOfDay();
