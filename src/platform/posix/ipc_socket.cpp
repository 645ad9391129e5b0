#include "platform/posix/ipc_socket.h"

#include <cstdlib>
#include <filesystem>

std::string ipcRunDir() {
    for (const char* variable : {"KESTREL_RUN_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(variable);
        if (value && value[0] != '\0') return value;
    }
    std::error_code ignored;
    std::filesystem::path temp = std::filesystem::temp_directory_path(ignored);
    return temp.empty() ? std::string("/tmp") : temp.string();
}

std::string ipcSocketPath(const char* className) {
    return (std::filesystem::path(ipcRunDir()) / ("kestrel-" + std::string(className) + ".sock")).string();
}
