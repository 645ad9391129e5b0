// Our INI reader against the real GetPrivateProfileStringA / GetPrivateProfileIntA on the same files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
