#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

void platformCharLower(char* text) {
    CharLowerA(text);
}

int platformIsNativeAbsolutePath(const char* /*path*/) {
    return 0;
}

void platformFullPath(const char* path, char* out, size_t size) {
    const DWORD length = GetFullPathNameA(path, static_cast<DWORD>(size), out, nullptr);
    if (length == 0 || length >= size) std::snprintf(out, size, "%s", path);
}
