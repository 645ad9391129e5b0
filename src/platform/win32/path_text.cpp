#include <windows.h>

#include "platform/platform.h"

void platformCharLower(char* text) {
    CharLowerA(text);
}

int platformIsNativeAbsolutePath(const char* /*path*/) {
    return 0;
}
