#include "platform/platform.h"

void platformCharLower(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

int platformIsNativeAbsolutePath(const char* path) {
    return path[0] == '/' ? 1 : 0;
}
