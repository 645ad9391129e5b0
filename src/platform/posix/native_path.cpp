#include "platform/posix/native_path.h"

std::string nativePath(const char* windowsPath) {
    std::string path = windowsPath ? windowsPath : "";
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}
