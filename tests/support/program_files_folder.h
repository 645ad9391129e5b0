// Windows only: a simulator folder below this system's 32-bit Program Files folder, where FS9 installs,
// and the folder of its VirtualStore copies, found with the system's own calls; both removed at the end.
#pragma once

#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <shlobj.h>

#include <filesystem>
#include <string>

struct ProgramFilesSimFolder {
    static std::string shellFolder(int id) {
        char folder[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder);
        return std::string(folder) + "\\";
    }
    ProgramFilesSimFolder() {
        removeBoth();  // what a run that crashed left
        std::filesystem::create_directories(original);
        std::filesystem::create_directories(copy);
    }
    ~ProgramFilesSimFolder() { removeBoth(); }
    void removeBoth() {
        std::error_code ignored;
        std::filesystem::remove_all(original.parent_path(), ignored);
        std::filesystem::remove_all(copy.parent_path(), ignored);
    }
    std::string simFolder() const { return original.string() + "\\"; }  // as the program names it

    const std::string programFiles = shellFolder(CSIDL_PROGRAM_FILESX86);  // "C:\Program Files (x86)\"
    const std::string copies = shellFolder(CSIDL_LOCAL_APPDATA) + "VirtualStore\\" + programFiles.substr(3);
    const std::string name = "kestrel-test-" + std::to_string(GetCurrentProcessId());
    const std::filesystem::path original = std::filesystem::path(programFiles) / name / "FS9";
    const std::filesystem::path copy = std::filesystem::path(copies) / name / "FS9";
};
