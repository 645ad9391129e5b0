// A simulator folder below this system's 32-bit Program Files folder, where FS9 installs, and the
// folder of its VirtualStore copies, found with the system's own calls (Windows only). Both are
// removed at the end.
#pragma once

#include <filesystem>
#include <string>

class ProgramFilesSimFolder {
public:
    ProgramFilesSimFolder();
    ~ProgramFilesSimFolder();
    ProgramFilesSimFolder(const ProgramFilesSimFolder&) = delete;
    ProgramFilesSimFolder& operator=(const ProgramFilesSimFolder&) = delete;

    std::string programFiles;        // "C:\Program Files (x86)\"
    std::string copies;              // "C:\Users\...\AppData\Local\VirtualStore\Program Files (x86)\"
    std::filesystem::path original;  // <programFiles>kestrel-test-N\FS9
    std::filesystem::path copy;      // <copies>kestrel-test-N\FS9

    // The simulator folder as the program names it, with its trailing backslash.
    std::string simFolder() const;
};
