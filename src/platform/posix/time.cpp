#include <errno.h>
#include <time.h>

#include "platform/platform.h"

void platformSleep(uint32_t milliseconds) {
    struct timespec remaining;
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    // A signal cuts the sleep short; finish it, so a sleep always lasts as long as asked.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

uint32_t platformTickCount() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

PlatformTimeOfDay platformTimeOfDay() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    const time_t seconds = now.tv_sec;
    if (!localtime_r(&seconds, &local)) return PlatformTimeOfDay{0, 0, 0, 0};
    return PlatformTimeOfDay{static_cast<uint32_t>(local.tm_hour), static_cast<uint32_t>(local.tm_min),
                             static_cast<uint32_t>(local.tm_sec), static_cast<uint32_t>(now.tv_nsec / 1000000)};
}
