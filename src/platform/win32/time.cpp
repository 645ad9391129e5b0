#include <windows.h>

#include "platform/platform.h"

void platformSleep(uint32_t milliseconds) {
    Sleep(milliseconds);
}

uint32_t platformTickCount() {
    return GetTickCount();
}

PlatformTimeOfDay platformTimeOfDay() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return PlatformTimeOfDay{now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}
