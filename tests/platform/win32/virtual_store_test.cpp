// The VirtualStore rule on the real system. Wine makes no copies: the test writes them where Windows would.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/platform.h"
#include "support/program_files_folder.h"
#include "support/temp_dir.h"

namespace {

TEST(VirtualStoreRead, ReadsTakeTheCopyWhereOneExistsWritesNever) {
    ProgramFilesSimFolder fs9;
    // Both Program Files folders, whatever this program's bitness, and the user's VirtualStore.
    VirtualStoreFolders folders{};
    ASSERT_EQ(platformVirtualStoreFolders(folders), VirtualStoreSystem::found);
    char native[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableA("ProgramW6432", native, sizeof native), 0u);
    EXPECT_EQ(std::set<std::string>(std::begin(folders.programFiles), std::end(folders.programFiles)),
              (std::set<std::string>{"", std::string(native) + "\\", fs9.programFiles}));
    EXPECT_EQ(fs9.copies, std::string(folders.store) + fs9.programFiles.substr(3));
    // FS9 started by its short name is matched by its long one.
    std::filesystem::create_directories(fs9.original);
    char shortName[MAX_PATH], longName[MAX_PATH];
    ASSERT_NE(GetShortPathNameA(fs9.sim.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(platformLongPathName(shortName, longName, sizeof longName), 1) << shortName;
    EXPECT_STREQ(longName, fs9.sim.c_str());

    writeFile(fs9.original / "both.cfg", "[A]\r\nv=1\r\n");
    writeFile(fs9.copy / "both.cfg", "[A]\r\nv=22\r\n");
    writeFile(fs9.copy / "copy only", "");
    writeFile(fs9.original / "file", "");  // a folder in the copy is no copy
    std::filesystem::create_directories(fs9.copy / "file");
    const std::string cfg = fs9.sim + "both.cfg";
    platformReadVirtualStoreCopies(&folders);
    EXPECT_EQ(platformCanOpenForReading((fs9.sim + "copy only").c_str()), 1);
    EXPECT_EQ(platformCanOpenForReading((fs9.sim + "file").c_str()), 1);
    uint64_t size = 0, time = 0;
    EXPECT_EQ(platformFileStamp(cfg.c_str(), &size, &time), 1);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(platformProfileInt("A", "v", 0, cfg.c_str()), 22u);
    platformProfileHold(cfg.c_str());
    EXPECT_EQ(platformProfileInt("A", "v", 0, cfg.c_str()), 22u);
    platformProfileRelease();
    platformCloseHandle(platformCreateFileForWriting(cfg.c_str()));  // empties the file itself

    platformReadVirtualStoreCopies(nullptr);
    EXPECT_EQ(platformProfileInt("A", "v", 0, cfg.c_str()), 0u);
    EXPECT_EQ(platformCanOpenForReading((fs9.sim + "copy only").c_str()), 0);
}

}  // namespace
