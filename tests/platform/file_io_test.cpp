#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

TEST(FileIo, WriteRewindPatchFlushAndReadBack) {
    TempDir dir;
    std::string path = dir.file("data.bin");
    PlatformHandle out = platformCreateFileForWriting(path.c_str());
    ASSERT_NE(out, kInvalidHandle);
    uint32_t written = 0;
    ASSERT_EQ(platformWriteFile(out, "0000abcdef", 10, &written), 1);
    EXPECT_EQ(written, 10u);
    ASSERT_EQ(platformRewindFile(out), 1);
    ASSERT_EQ(platformWriteFile(out, "WXYZ", 4, &written), 1);
    EXPECT_EQ(platformFlushFile(out), 1);
    platformCloseHandle(out);

    PlatformHandle in = platformOpenFileForReading(path.c_str());
    ASSERT_NE(in, kInvalidHandle);
    uint64_t size = 0;
    ASSERT_EQ(platformFileSize(in, &size), 1);
    EXPECT_EQ(size, 10u);
    char buffer[32] = {};
    uint32_t got = 0;
    ASSERT_EQ(platformReadFile(in, buffer, sizeof buffer, &got), 1);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(std::string(buffer, got), "WXYZabcdef");
    ASSERT_EQ(platformReadFile(in, buffer, 4, &got), 1);
    EXPECT_EQ(got, 0u);  // at the end
    platformCloseHandle(in);
}

TEST(FileIo, CreateReplacesAnExistingFile) {
    TempDir dir;
    writeFile(dir.path() / "old.bin", "a much longer old content");
    PlatformHandle out = platformCreateFileForWriting(dir.file("old.bin").c_str());
    ASSERT_NE(out, kInvalidHandle);
    uint32_t written = 0;
    platformWriteFile(out, "new", 3, &written);
    platformCloseHandle(out);
    EXPECT_EQ(readFile(dir.path() / "old.bin"), "new");
}

TEST(FileIo, ReplaceRenamesOverTheTargetAndDeleteRemoves) {
    TempDir dir;
    writeFile(dir.path() / "target.dat", "old");
    writeFile(dir.path() / "target.tmp", "new");
    ASSERT_EQ(platformReplaceFile(dir.file("target.tmp").c_str(), dir.file("target.dat").c_str()), 1);
    EXPECT_EQ(readFile(dir.path() / "target.dat"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "target.tmp"));
    ASSERT_EQ(platformDeleteFile(dir.file("target.dat").c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "target.dat"));
    EXPECT_EQ(platformDeleteFile(dir.file("target.dat").c_str()), 0);
}

#ifdef _WIN32
// A reader of the target (another kestrel, a virus scanner) refuses the rename while it holds the
// file: the replace waits about a second for it to let go, then fails and leaves both files alone.
TEST(FileIo, ReplaceWaitsForAReaderOfTheTargetToLetGo) {
    for (bool letsGo : {true, false}) {
        TempDir dir;
        writeFile(dir.path() / "a.dat", "old");
        writeFile(dir.path() / "a.tmp", "new");
        PlatformHandle reader = platformOpenFileForReading(dir.file("a.dat").c_str());
        std::thread holder([&] {
            platformSleep(letsGo ? 200 : 2 * kReplaceRetryMilliseconds);
            platformCloseHandle(reader);
        });
        EXPECT_EQ(platformReplaceFile(dir.file("a.tmp").c_str(), dir.file("a.dat").c_str()), letsGo ? 1 : 0);
        holder.join();
        EXPECT_EQ(readFile(dir.path() / "a.dat"), letsGo ? "new" : "old");
    }
}
#endif

TEST(FileIo, MissingFilesFailToOpen) {
    TempDir dir;
    EXPECT_EQ(platformOpenFileForReading(dir.file("absent.dat").c_str()), kInvalidHandle);
    EXPECT_EQ(platformCreateFileForWriting(dir.file("no-such-folder/x.dat").c_str()), kInvalidHandle);
}

#ifndef _WIN32
TEST(FileIo, TakesWindowsPaths) {
    TempDir dir;
    writeFile(dir.path() / "sub" / "f.dat", "xyz");
    std::string windowsPath = dir.path().string() + "\\sub\\f.dat";
    PlatformHandle in = platformOpenFileForReading(windowsPath.c_str());
    ASSERT_NE(in, kInvalidHandle);
    platformCloseHandle(in);
}

// What is not a regular file neither blocks nor opens: a FIFO without a writer, a device, a folder.
TEST(FileIo, OnlyRegularFilesOpenForReading) {
    TempDir dir;
    std::string fifo = dir.file("fifo.bgl");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), dir.path().string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(platformOpenFileForReading(path.c_str()), kInvalidHandle);
        EXPECT_EQ(platformCanOpenForReading(path.c_str()), 0);
    }
    EXPECT_EQ(platformDirectoryOpens(fifo.c_str()), 1);  // it opens at once, as any name that is there
}
#else
// A reserved device name opens a device, not a file: its reads could wait for good.
TEST(FileIo, OnlyFilesOnDiskOpenForReading) {
    TempDir dir;
    for (const std::string& path : {std::string("NUL"), std::string("CON"), dir.file("nul.bgl")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(platformOpenFileForReading(path.c_str()), kInvalidHandle);
        EXPECT_EQ(platformCanOpenForReading(path.c_str()), 0);
    }
}
#endif

}  // namespace
