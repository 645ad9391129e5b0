#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

uint32_t platformLastError() {
    return GetLastError();
}

void platformSetLastError(uint32_t code) {
    SetLastError(code);
}

char* platformErrorText(uint32_t code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text) return text;
    // No text in the system's table: the code itself, in a block LocalFree can release.
    text = static_cast<char*>(LocalAlloc(LMEM_FIXED, 32));
    if (text) std::snprintf(text, 32, "error %lu", static_cast<unsigned long>(code));
    return text;
}

void platformReleaseErrorText(char* text) {
    if (text) LocalFree(text);
}
