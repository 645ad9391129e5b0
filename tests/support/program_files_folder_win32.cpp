#include "support/program_files_folder.h"

#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <shlobj.h>

#include <atomic>

namespace {

std::string shellFolder(int id) {
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\";
}

}  // namespace

ProgramFilesSimFolder::ProgramFilesSimFolder()
    : programFiles(shellFolder(CSIDL_PROGRAM_FILESX86)),
      copies(shellFolder(CSIDL_LOCAL_APPDATA) + "VirtualStore\\" + programFiles.substr(3)) {
    static std::atomic<unsigned> counter{0};
    const std::string name =
        "kestrel-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    original = std::filesystem::path(programFiles) / name / "FS9";
    copy = std::filesystem::path(copies) / name / "FS9";
    std::filesystem::create_directories(original);
    std::filesystem::create_directories(copy);
}

ProgramFilesSimFolder::~ProgramFilesSimFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(original.parent_path(), ignored);
    std::filesystem::remove_all(copy.parent_path(), ignored);
}

std::string ProgramFilesSimFolder::simFolder() const {
    return original.string() + "\\";
}
