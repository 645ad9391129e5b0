// File stamps and the missing-file errors through the real API: what a file held open by another
// program, an unknown drive or a network path that is not there give.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

TEST(FileStampWin32, TheWriteTimeIsTheFileTimeAndAHeldFileStillAnswers) {
    TempDir dir;
    writeFile(dir.path() / "a.bgl", "12345");
    const std::string path = dir.file("a.bgl");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME set{0x89ABCDEFu, 0x01DA1234u};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &set));

    // Held without sharing, as an editor or installer may: the open is refused, and not as missing.
    EXPECT_EQ(platformOpenFileForReading(path.c_str()), kInvalidHandle);
    EXPECT_EQ(platformLastError(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(platformIsMissingFileError(platformLastError()), 0);
    uint64_t size = 0, time = 0;
    ASSERT_EQ(platformFileStamp(path.c_str(), &size, &time), 1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(time, 0x01DA123489ABCDEFull);
    CloseHandle(file);
}

TEST(FileStampWin32, NamesThatAreNotThereAreMissingWhateverTheReason) {
    TempDir dir;
    // The first unused drive letter from Z down.
    std::string drive;
    const DWORD used = GetLogicalDrives();
    for (char letter = 'Z'; letter > 'D' && drive.empty(); --letter)
        if (!(used & (1u << (letter - 'A')))) drive = std::string(1, letter) + ":\\FS9\\a.bgl";
    ASSERT_FALSE(drive.empty());
    for (const std::string& path : {dir.file("absent.bgl"), dir.file("absent\\a.bgl"), drive,
                                    std::string("\\\\kestrel-no-such-host\\share\\a.bgl")}) {
        SCOPED_TRACE(path);
        uint64_t size = 0, time = 0;
        EXPECT_EQ(platformFileStamp(path.c_str(), &size, &time), 0);
        EXPECT_EQ(platformIsMissingFileError(platformLastError()), 1) << platformLastError();
        EXPECT_EQ(platformOpenFileForReading(path.c_str()), kInvalidHandle);
        EXPECT_EQ(platformIsMissingFileError(platformLastError()), 1) << platformLastError();
    }
    // Every code that means "not there", and none that means "there, but not for you".
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_NOT_READY,
                       ERROR_BAD_NETPATH, ERROR_BAD_NET_NAME, ERROR_BAD_DEV_TYPE})
        EXPECT_EQ(platformIsMissingFileError(code), 1) << code;
    for (DWORD code : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION,
                       ERROR_NOT_ENOUGH_MEMORY, ERROR_NETWORK_BUSY, ERROR_CRC})
        EXPECT_EQ(platformIsMissingFileError(code), 0) << code;
}

}  // namespace
