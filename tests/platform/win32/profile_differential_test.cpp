// Our INI reader against the real GetPrivateProfileStringA / GetPrivateProfileIntA on the same files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/profile_corpus.h"
#include "platform/profile_reader.h"
#include "support/temp_dir.h"

namespace {

TEST(ProfileDifferential, OurReaderAgreesWithTheRealApi) {
    TempDir dir;
    for (const ProfileCase& c : profileCorpus()) {
        std::string path = dir.file(std::string(c.name) + ".ini");
        if (c.fileExists) writeFile(path, c.content);
        for (const StringQuery& q : c.strings) {
            SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key + " size " +
                         std::to_string(q.bufferSize));
            std::string real(q.bufferSize + 1, '#'), ours(q.bufferSize + 1, '#');
            DWORD realCount = GetPrivateProfileStringA(q.section, q.key, q.defaultValue, real.data(),
                                                       q.bufferSize, path.c_str());
            uint32_t ourCount =
                profileReadString(q.section, q.key, q.defaultValue, ours.data(), q.bufferSize, path.c_str());
            EXPECT_EQ(ourCount, realCount);
            EXPECT_EQ(std::string(ours.c_str()), std::string(real.c_str()));
            EXPECT_EQ(std::string(real.c_str()), q.expected) << "the corpus's recorded answer is out of date";
        }
        for (const IntQuery& q : c.ints) {
            SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
            UINT real = GetPrivateProfileIntA(q.section, q.key, q.defaultValue, path.c_str());
            EXPECT_EQ(profileReadInt(q.section, q.key, q.defaultValue, path.c_str()), real);
            EXPECT_EQ(real, q.expected) << "the corpus's recorded answer is out of date";
        }
    }
}

// A held file is read once: its lookups answer from that read, even once the file is gone. A file the
// system reads as Unicode is left to the system, and answers as it does.
TEST(ProfileDifferential, AHeldFileAnswersFromOneRead) {
    struct Case {
        const char* name;
        std::string content;
        bool removedWhileHeld;
        const char* expected;
    };
    const std::string utf16 = std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0", 22);
    for (const Case& c : {Case{"plain", "[A]\r\nk=v\r\n", true, "v"}, Case{"utf16", utf16, false, "v"}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("held.ini");
        writeFile(path, c.content);
        platformProfileHold(path.c_str());
        if (c.removedWhileHeld) std::remove(path.c_str());
        char value[16] = {};
        platformProfileString("A", "k", "default", value, sizeof value, path.c_str());
        const uint32_t number = platformProfileInt("A", "k", 7, path.c_str());
        platformProfileRelease();
        EXPECT_STREQ(value, c.expected);
        EXPECT_EQ(number, 0u);  // "v" is no number
    }
}

}  // namespace
