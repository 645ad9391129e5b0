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

std::string copiedProgram(const std::string& name, const std::filesystem::path& folder) {
    const std::filesystem::path built = builtProgram(name);
    std::filesystem::create_directories(folder);
    const std::filesystem::path copy = folder / built.filename();
    std::filesystem::copy_file(built, copy, std::filesystem::copy_options::overwrite_existing);
    const std::u8string text = copy.u8string();
    return std::string(text.begin(), text.end());
}

bool runningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}
