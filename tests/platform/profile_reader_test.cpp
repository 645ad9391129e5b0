#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/profile_corpus.h"
#include "platform/profile_reader.h"
#include "support/temp_dir.h"

namespace {

// Every query of the corpus, answered by our reader, must give the real reader's answer.
TEST(ProfileReader, AnswersTheCorpusLikeTheWindowsReader) {
    TempDir dir;
    for (const ProfileCase& c : profileCorpus()) {
        std::string path = dir.file(std::string(c.name) + ".ini");
        if (c.fileExists) writeFile(path, c.content);
        for (const StringQuery& q : c.strings) {
            std::string buffer(q.bufferSize + 1, '#');
            uint32_t n = profileReadString(q.section, q.key, q.defaultValue, buffer.data(), q.bufferSize,
                                           path.c_str());
            SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key + " size " +
                         std::to_string(q.bufferSize));
            EXPECT_EQ(n, q.expected.size());
            EXPECT_EQ(std::string(buffer.c_str()), q.expected);
        }
        for (const IntQuery& q : c.ints) {
            SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
            EXPECT_EQ(profileReadInt(q.section, q.key, q.defaultValue, path.c_str()), q.expected);
        }
    }
}

TEST(ProfileReader, ZeroSizedBufferIsLeftAlone) {
    TempDir dir;
    writeFile(dir.path() / "a.ini", "[S]\nk=1\n");
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(profileReadString("S", "k", "", buffer, 0, dir.file("a.ini").c_str()), 0u);
    EXPECT_EQ(buffer[0], '#');
}

TEST(ProfileReader, AChangedFileIsReadAgain) {
    TempDir dir;
    std::string path = dir.file("changing.ini");
    writeFile(path, "[S]\nk=1\n");
    EXPECT_EQ(profileReadInt("S", "k", 0, path.c_str()), 1u);
    writeFile(path, "[S]\nk=22\n");  // another size
    EXPECT_EQ(profileReadInt("S", "k", 0, path.c_str()), 22u);
    writeFile(path, "[S]\nk=33\n");  // the same size, another modification time
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
    EXPECT_EQ(profileReadInt("S", "k", 0, path.c_str()), 33u);
    std::filesystem::remove(path);
    EXPECT_EQ(profileReadInt("S", "k", 7, path.c_str()), 7u);
}

// A held file answers from the copy read when the hold began, changed or gone meanwhile; a file missing
// then stays missing. After the release the file counts again.
TEST(ProfileReader, AHeldFileIsNotAskedAgainUntilReleased) {
    TempDir dir;
    std::string path = dir.file("held.ini");
    std::string absent = dir.file("absent.ini");
    writeFile(path, "[Area.001]\nLayer=5\n[AREA.001]\nLayer=6\n");
    profileHold(path.c_str());
    std::filesystem::remove(path);
    EXPECT_EQ(profileReadInt("area.001", "LAYER", 0, path.c_str()), 5u);  // the first section of a name
    profileHold(absent.c_str());
    writeFile(absent, "[S]\nk=1\n");
    EXPECT_EQ(profileReadInt("S", "k", 9, absent.c_str()), 9u);
    profileRelease();
    EXPECT_EQ(profileReadInt("S", "k", 9, absent.c_str()), 1u);
    EXPECT_EQ(profileReadInt("Area.001", "Layer", 0, path.c_str()), 0u);
}

TEST(ProfileReader, IntegerTextRule) {
    EXPECT_EQ(profileTextToInt("  -300"), static_cast<uint32_t>(-300));
    EXPECT_EQ(profileTextToInt("+7"), 7u);
    EXPECT_EQ(profileTextToInt("0x1F"), 31u);
    EXPECT_EQ(profileTextToInt("0X1F"), 0u);  // only a lower-case x selects hexadecimal
    EXPECT_EQ(profileTextToInt("19abc"), 19u);
    EXPECT_EQ(profileTextToInt(""), 0u);
}

#ifndef _WIN32
// The POSIX stand-in takes the program's Windows paths.
TEST(ProfileReader, PlatformReaderTakesWindowsPaths) {
    TempDir dir;
    writeFile(dir.path() / "sub" / "kestrel.ini", "[KestrelConfig]\nZoomLevel=512\n");
    std::string windowsPath = dir.path().string() + "\\sub\\kestrel.ini";
    EXPECT_EQ(platformProfileInt("KestrelConfig", "ZoomLevel", 1, windowsPath.c_str()), 512u);
    char value[16];
    EXPECT_EQ(
        platformProfileString("KestrelConfig", "ZoomLevel", "", value, sizeof value, windowsPath.c_str()),
        3u);
    EXPECT_STREQ(value, "512");
}

// A FIFO in a settings file's place would block an ordinary open() for good; it reads as missing.
TEST(ProfileReader, AFifoReadsAsAMissingFile) {
    TempDir dir;
    std::string path = dir.file("kestrel.ini");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(profileReadInt("KestrelConfig", "ZoomLevel", 77, path.c_str()), 77u);
}
#endif

}  // namespace
