#include "support/test_paths.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string binaryDir() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::filesystem::path self(std::string(buffer, length));
#else
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
#endif
    return self.parent_path().string();
}

std::string builtProgram(const std::string& name) {
#ifdef _WIN32
    return (std::filesystem::path(binaryDir()) / (name + ".exe")).string();
#else
    return (std::filesystem::path(binaryDir()) / name).string();
#endif
}

bool runningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}
