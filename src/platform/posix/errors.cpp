#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

uint32_t platformLastError() {
    return static_cast<uint32_t>(errno);
}

void platformSetLastError(uint32_t code) {
    errno = static_cast<int>(code);
}

char* platformErrorText(uint32_t code) {
    const char* description = code == 0 ? "Success" : std::strerror(static_cast<int>(code));
    size_t size = std::strlen(description) + 32;
    char* text = static_cast<char*>(std::malloc(size));
    if (!text) return nullptr;
    std::snprintf(text, size, "%s (error %u)", description, static_cast<unsigned>(code));
    return text;
}

void platformReleaseErrorText(char* text) {
    std::free(text);
}
