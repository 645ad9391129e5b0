// Which path below a Program Files folder maps to which VirtualStore copy: Windows compares paths in
// any letter case and takes '/' for '\'.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

TEST(VirtualStore, PathsBelowAProgramFilesFolderMapToTheirCopy) {
    VirtualStoreFolders folders{};
    std::snprintf(folders.programFiles[0], kVirtualStoreFolderSize, "C:\\Program Files\\");
    std::snprintf(folders.programFiles[1], kVirtualStoreFolderSize, "C:\\Program Files (x86)\\");
    std::snprintf(folders.programFiles[2], kVirtualStoreFolderSize, "Program Files\\");  // no drive: never
    std::snprintf(folders.store, kVirtualStoreFolderSize, "C:\\VS\\");
    const struct {
        const char* path;
        int folder;        // -1: not below one
        const char* copy;  // null: none
        size_t size = kVirtualStorePathSize;
    } cases[] = {
        {"C:\\Program Files (x86)\\FS9\\scenery.cfg", 1, "C:\\VS\\Program Files (x86)\\FS9\\scenery.cfg"},
        {"c:/PROGRAM FILES/fs9/scenery.cfg", 0, "C:\\VS\\PROGRAM FILES/fs9/scenery.cfg"},  // spelling kept
        {"C:\\Program Files\\", 0, "C:\\VS\\Program Files\\"},
        {"C:\\Program Files\\x", 0, "C:\\VS\\Program Files\\x", 22},
        {"C:\\Program Files\\x", 0, nullptr, 21},  // no room for the NUL
        {"C:\\Program Files (x86)2\\FS9\\scenery.cfg", -1, nullptr},
        {"C:\\Program Files", -1, nullptr},
        {"D:\\Program Files\\FS9\\scenery.cfg", -1, nullptr},
        {"\\\\FSPC\\Program Files\\FS9\\scenery.cfg", -1, nullptr},
        {"Program Files\\FS9\\scenery.cfg", -1, nullptr},  // relative: kestrel's own files
        {".\\kestrel.dat", -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(virtualStoreProgramFolderOf(folders, c.path), c.folder);
        char copy[kVirtualStorePathSize] = "untouched";
        EXPECT_EQ(virtualStoreCopyPath(folders, c.path, copy, c.size), c.copy ? 1 : 0);
        EXPECT_EQ(std::string(copy), c.copy ? c.copy : "untouched");
    }
    folders.store[0] = '\0';  // no store folder, no copies
    char copy[kVirtualStorePathSize];
    EXPECT_EQ(virtualStoreCopyPath(folders, "C:\\Program Files\\x", copy, sizeof copy), 0);
}

}  // namespace
