#include <windows.h>

#include "platform/platform.h"

uint32_t platformProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    return GetPrivateProfileIntA(section, key, defaultValue, path);
}

uint32_t platformProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                               uint32_t size, const char* path) {
    return GetPrivateProfileStringA(section, key, defaultValue, out, size, path);
}

// The system's reader keeps its own copy of the file it read last.
void platformProfileHold(const char* /*path*/) {}

void platformProfileRelease() {}
