#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
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
// The write time in FILETIME ticks, as Wine gives it to the Windows builds.
TEST(FileIo, StampsGiveSizeAndTheWriteTimeWineGives) {
    TempDir dir;
    const std::string path = dir.file("a.bgl");
    writeFile(path, "12345");
    const struct timespec times[2] = {{1700000000, 123456789}, {1700000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    uint64_t size = 0, time = 0;
    ASSERT_EQ(platformFileStamp(path.c_str(), &size, &time), 1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(time, 133444736001234567ull);  // (1700000000 + 11644473600) * 10^7 + 1234567
    for (const std::string& missing : {dir.file("absent/a.bgl"), path + "/x.bgl"}) {  // ENOENT, ENOTDIR
        EXPECT_EQ(platformFileStamp(missing.c_str(), &size, &time), 0) << missing;
        EXPECT_EQ(platformIsMissingFileError(platformLastError()), 1) << missing;
    }
}

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
// Held without sharing, as an editor may, a file is there: its open is refused, not as missing, and its
// stamp answers. An unused drive and an unknown network host are not there, as the real API says.
TEST(FileIo, AHeldFileIsThereAndUnknownDrivesAndHostsAreNot) {
    TempDir dir;
    const std::string path = dir.file("a.bgl");
    writeFile(path, "12345");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME set{0x89ABCDEFu, 0x01DA1234u};
    ASSERT_TRUE(SetFileTime(held, nullptr, nullptr, &set));
    EXPECT_EQ(platformOpenFileForReading(path.c_str()), kInvalidHandle);
    EXPECT_EQ(platformIsMissingFileError(platformLastError()), 0);
    uint64_t size = 0, time = 0;
    EXPECT_EQ(platformFileStamp(path.c_str(), &size, &time), 1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(time, 0x01DA123489ABCDEFull);
    CloseHandle(held);

    std::string drive = "?:\\FS9\\a.bgl";
    for (char letter = 'Z'; letter > 'D' && drive[0] == '?'; --letter)
        if (!(GetLogicalDrives() & (1u << (letter - 'A')))) drive[0] = letter;
    for (const std::string& name : {drive, std::string("\\\\kestrel-no-such-host\\share\\a.bgl")}) {
        EXPECT_EQ(platformFileStamp(name.c_str(), &size, &time), 0) << name;
        EXPECT_EQ(platformIsMissingFileError(platformLastError()), 1) << name << ": " << platformLastError();
        EXPECT_EQ(platformOpenFileForReading(name.c_str()), kInvalidHandle) << name;
        EXPECT_EQ(platformIsMissingFileError(platformLastError()), 1) << name << ": " << platformLastError();
    }
    // What Windows answers where Wine does not: no such drive, no disk in it, no such server or share.
    for (DWORD code : {ERROR_INVALID_DRIVE, ERROR_NOT_READY, ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME})
        EXPECT_EQ(platformIsMissingFileError(code), 1) << code;
}

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
