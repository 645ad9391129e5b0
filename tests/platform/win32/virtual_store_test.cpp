// The VirtualStore rule on the real system. Wine has no UAC and makes no copies: the test writes them
// where Windows would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>

#include "platform/platform.h"
#include "support/program_files_folder.h"
#include "support/temp_dir.h"

namespace {

std::string readThroughPlatform(const std::string& path) {
    PlatformHandle file = platformOpenFileForReading(path.c_str());
    if (file == kInvalidHandle) return "(no file)";
    char bytes[64];
    uint32_t count = 0;
    platformReadFile(file, bytes, sizeof bytes, &count);
    platformCloseHandle(file);
    return std::string(bytes, count);
}

std::string profileValue(const std::string& path) {
    char value[64];
    platformProfileString("Area.001", "Local", "(none)", value, sizeof value, path.c_str());
    return value;
}

TEST(VirtualStoreRead, ReadsTakeTheCopyWhereOneExistsWritesAndRelativePathsNever) {
    ProgramFilesSimFolder fs9;
    // Both Program Files folders, whatever this program's bitness, and the user's VirtualStore.
    VirtualStoreFolders folders{};
    ASSERT_EQ(platformVirtualStoreFolders(folders), 1);
    std::set<std::string> found(std::begin(folders.programFiles), std::end(folders.programFiles));
    char native[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableA("ProgramW6432", native, sizeof native), 0u);
    EXPECT_EQ(found, (std::set<std::string>{"", std::string(native) + "\\", fs9.programFiles}));
    EXPECT_EQ(fs9.copies, std::string(folders.store) + fs9.programFiles.substr(3));

    writeFile(fs9.original / "both.cfg", "[Area.001]\r\nLocal=original\r\n");
    writeFile(fs9.copy / "both.cfg", "[Area.001]\r\nLocal=copy\r\n");
    writeFile(fs9.original / "original only", "original");
    writeFile(fs9.copy / "copy only", "copy");
    writeFile(fs9.original / "file", "a file here, a folder in the copy");
    std::filesystem::create_directories(fs9.copy / "file");
    const std::string sim = fs9.simFolder();
    std::string respelled = sim;  // as scenery.cfg may spell it
    for (char& c : respelled)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    respelled[2] = '/';

    platformReadVirtualStoreCopies(&folders);
    EXPECT_EQ(readThroughPlatform(respelled + "BOTH.CFG"), "[Area.001]\r\nLocal=copy\r\n");
    EXPECT_EQ(readThroughPlatform(sim + "original only"), "original");
    EXPECT_EQ(platformCanOpenForReading((sim + "copy only").c_str()), 1);
    EXPECT_EQ(readThroughPlatform(sim + "file"), "a file here, a folder in the copy");
    EXPECT_EQ(profileValue(sim + "both.cfg"), "copy");
    platformProfileHold((sim + "both.cfg").c_str());
    EXPECT_EQ(profileValue(sim + "both.cfg"), "copy");
    platformProfileRelease();
    // kestrel's own files are relative to its working folder, even one below Program Files.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(fs9.original);
    EXPECT_EQ(readThroughPlatform(".\\both.cfg"), "[Area.001]\r\nLocal=original\r\n");
    std::filesystem::current_path(previous);
    PlatformHandle out = platformCreateFileForWriting((sim + "both.cfg").c_str());
    uint32_t written = 0;
    platformWriteFile(out, "[Area.001]\r\nLocal=new\r\n", 23, &written);
    platformCloseHandle(out);
    EXPECT_EQ(readFile(fs9.copy / "both.cfg"),
              "[Area.001]\r\nLocal=copy\r\n");  // a write goes to the file itself

    platformReadVirtualStoreCopies(nullptr);
    EXPECT_EQ(profileValue(sim + "both.cfg"), "new");
    EXPECT_EQ(platformCanOpenForReading((sim + "copy only").c_str()), 0);
}

}  // namespace
