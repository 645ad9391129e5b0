#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scenery/mapped_file.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(MappedFile, MapsTheWholeFileReadOnly) {
    TempDir dir;
    std::string bytes = "BGL\x01\x02\x03 whole file";
    bytes.push_back('\0');
    writeFile(dir.file("a.bgl"), bytes);

    MappedFile mapped;
    LogCapture log(5);
    ASSERT_EQ(mapFile(dir.file("a.bgl").c_str(), mapped), 1);
    EXPECT_EQ(log.text(), "");
    EXPECT_NE(mapped.file, kInvalidHandle);
    EXPECT_NE(mapped.mapping, kInvalidHandle);
    ASSERT_NE(mapped.view, nullptr);
    ASSERT_EQ(mapped.length, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.view), mapped.length), bytes);
    uint32_t word = 0;
    EXPECT_TRUE(readU32(mappedBytes(mapped), 3, word));
    EXPECT_FALSE(readU32(mappedBytes(mapped), bytes.size() - 3, word));

    // Shared for reading: a second reader maps the same file while the first holds it.
    MappedFile second;
    ASSERT_EQ(mapFile(dir.file("a.bgl").c_str(), second), 1);
    unmapFile(second);

    unmapFile(mapped);
    EXPECT_EQ(mapped.file, kInvalidHandle);
    EXPECT_EQ(mapped.mapping, kInvalidHandle);
    EXPECT_EQ(mapped.view, nullptr);
    EXPECT_EQ(mapped.length, 0u);
    unmapFile(mapped);  // releasing an empty one again does nothing
}

TEST(MappedFile, EachFailingStepLogsItsOwnLine) {
    TempDir dir;
    writeFile(dir.file("empty.bgl"), "");
    std::filesystem::create_directory(dir.path() / "folder");
    const std::string missing = dir.file("missing.bgl");
    const std::string empty = dir.file("empty.bgl");
    const std::string folder = dir.file("folder");

    struct Case {
        std::string path;
        std::string prefix;
        MapFault fault;  // what the import makes of it: only an unreadable file leaves a build incomplete
    } cases[] = {
        {missing, "Unable to open file \"" + missing + "\", error was: ", MapFault::missing},
        {dir.file("nowhere/a.bgl"),
         "Unable to open file \"" + dir.file("nowhere/a.bgl") + "\", error was: ", MapFault::missing},
        {folder, "Unable to open file \"" + folder + "\", error was: ", MapFault::unreadable},
        {empty, "Unable to create file mapping \"" + empty + "\", error was: ", MapFault::empty},
    };
    for (const Case& c : cases) {
        LogCapture log(5);
        MappedFile mapped;
        MapFault fault = MapFault::none;
        EXPECT_EQ(mapFile(c.path.c_str(), mapped, &fault), 0) << c.path;
        EXPECT_EQ(fault, c.fault) << c.path;
        EXPECT_EQ(log.text().rfind(c.prefix, 0), 0u) << log.text();
        // The system's text follows, and the line ends as the format says.
        EXPECT_GT(log.text().size(), c.prefix.size() + 1);
        EXPECT_EQ(log.text().back(), '\n');
        EXPECT_EQ(mapped.view, nullptr);
        EXPECT_EQ(mapped.file, kInvalidHandle);
        EXPECT_EQ(mapped.mapping, kInvalidHandle);
    }
}

TEST(MappedFile, FailureLevels) {
    TempDir dir;
    writeFile(dir.file("empty.bgl"), "");
    MappedFile mapped;
    {
        LogCapture log(2);  // an open failure is a notice (3), a mapping failure level 1
        EXPECT_EQ(mapFile(dir.file("missing.bgl").c_str(), mapped), 0);
        EXPECT_EQ(log.text(), "");
        EXPECT_EQ(mapFile(dir.file("empty.bgl").c_str(), mapped), 0);
        EXPECT_TRUE(log.contains("Unable to create file mapping"));
    }
    {
        LogCapture log(0);
        EXPECT_EQ(mapFile(dir.file("empty.bgl").c_str(), mapped), 0);
        EXPECT_EQ(log.text(), "");
    }
}

TEST(MappedFile, PrefetchKeepsToTheMappedBytes) {
    TempDir dir;
    const std::string bytes(3 * 4096 + 17, 'b');
    writeFile(dir.file("a.bgl"), bytes);
    for (ViewAccess access : {ViewAccess::whole, ViewAccess::parts}) {
        MappedFile mapped;
        ASSERT_EQ(mapFile(dir.file("a.bgl").c_str(), mapped, nullptr, access), 1);
        const ByteView view = mappedBytes(mapped);
        // Offsets and sizes as a hostile file gives them: past the end, overflowing, empty.
        const struct {
            uint64_t offset, size;
        } ranges[] = {{0, bytes.size()}, {4095, 2},           {bytes.size() - 1, 1000000},
                      {bytes.size(), 1}, {UINT64_MAX - 1, 4}, {100, UINT64_MAX},
                      {0, 0}};
        for (const auto& range : ranges) prefetchMapped(view, range.offset, range.size);
        prefetchMapped(ByteView{}, 0, 100);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.view), mapped.length), bytes);
        unmapFile(mapped);
    }
}

TEST(MappedFile, QuietMappingLogsNothing) {
    TempDir dir;
    writeFile(dir.file("empty.bgl"), "");
    writeFile(dir.file("a.bgl"), "abc");
    LogCapture log(5);
    MappedFile mapped;
    for (const char* name : {"missing.bgl", "empty.bgl"}) {
        EXPECT_EQ(mapFileQuietly(dir.file(name).c_str(), mapped, ViewAccess::parts), 0) << name;
        EXPECT_EQ(mapped.view, nullptr);
    }
    ASSERT_EQ(mapFileQuietly(dir.file("a.bgl").c_str(), mapped, ViewAccess::parts), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapped.view), mapped.length), "abc");
    unmapFile(mapped);
    EXPECT_EQ(log.text(), "");
}

}  // namespace
