#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

void platformCharLower(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

int platformIsNativeAbsolutePath(const char* path) {
    return path[0] == '/' ? 1 : 0;
}

void platformFullPath(const char* path, char* out, size_t size) {
    std::string full = nativePath(path);
    if (!platformIsNativeAbsolutePath(full.c_str())) {
        char folder[4096];
        if (!getcwd(folder, sizeof folder)) {
            std::snprintf(out, size, "%s", path);
            return;
        }
        while (full.rfind("./", 0) == 0)
            full.erase(0, 2);
        full = std::string(folder) + (folder[1] != '\0' ? "/" : "") + full;
    }
    if (full.size() >= size) full = path;
    std::snprintf(out, size, "%s", full.c_str());
}
