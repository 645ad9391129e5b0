// Windows only: a simulator folder below the 32-bit Program Files folder, where FS9 installs, and its
// folder of VirtualStore copies, both removed at the end; their files create them.
#pragma once

#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <shlobj.h>

#include <filesystem>
#include <string>

inline std::string shellFolder(int id) {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\";
}

struct ProgramFilesSimFolder {
    ~ProgramFilesSimFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(original.parent_path(), ignored);
        std::filesystem::remove_all(copy.parent_path(), ignored);
    }

    const std::string programFiles = shellFolder(CSIDL_PROGRAM_FILESX86);  // "C:\Program Files (x86)\"
    const std::string copies = shellFolder(CSIDL_LOCAL_APPDATA) + "VirtualStore\\" + programFiles.substr(3);
    const std::string below = "kestrel-test-" + std::to_string(GetCurrentProcessId()) + "\\FS9";
    const std::filesystem::path original = programFiles + below, copy = copies + below;
    const std::string sim = original.string() + "\\";  // as the program names it
};
