// Paths below a Program Files folder and their VirtualStore copies, compared as Windows compares paths.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(VirtualStore, PathsBelowAProgramFilesFolderMapToTheirCopy) {
    VirtualStoreFolders folders{{"C:\\Program Files\\", "C:\\Program Files (x86)\\", "Program Files\\"},
                                "C:\\VS\\",                       // a folder without a drive never matches
                                "C:\\Program Files\\kestrel\\"};  // kestrel's own
    const struct {
        const char* path;
        const char* copy;  // null: none
        size_t size = kVirtualStorePathSize;
    } cases[] = {
        {"C:\\Program Files (x86)\\FS9\\scenery.cfg", "C:\\VS\\Program Files (x86)\\FS9\\scenery.cfg"},
        {"c:/PROGRAM FILES/fs9/scenery.cfg", "C:\\VS\\PROGRAM FILES/fs9/scenery.cfg"},  // spelling kept
        {"C:\\Program Files\\x", "C:\\VS\\Program Files\\x", 22},
        {"C:\\Program Files\\x", nullptr, 21},  // no room for the NUL
        {"C:\\Program Files (x86)2\\FS9\\scenery.cfg", nullptr},
        {"D:\\Program Files\\FS9\\scenery.cfg", nullptr},
        {"Program Files\\FS9\\scenery.cfg", nullptr},  // relative: the user's own path
        {"c:\\program files\\KESTREL\\kestrel.dat", nullptr},
        {"C:\\Program Files\\kestrel2\\kestrel.dat", "C:\\VS\\Program Files\\kestrel2\\kestrel.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        char copy[kVirtualStorePathSize] = "untouched";
        EXPECT_EQ(virtualStoreCopyPath(folders, c.path, copy, c.size), c.copy ? 1 : 0);
        EXPECT_STREQ(copy, c.copy ? c.copy : "untouched");
    }
}

}  // namespace
