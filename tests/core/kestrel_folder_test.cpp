// Where kestrel's files lie: the program's folder, or the working folder with one line that says why.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/core_state.h"
#include "core/kestrel_folder.h"
#include "platform/platform.h"
#include "support/log_capture.h"

namespace {

// What a platform query answers.
struct Answer {
    FolderName name;
    std::string path, shown;
};

Answer programAnswer, workingAnswer;
size_t roomAsked = 0;

FolderName answer(const Answer& a, char* out, size_t room, char* shown, size_t shownSize) {
    roomAsked = room;
    std::snprintf(shown, shownSize, "%s", a.shown.c_str());
    if (isNamed(a.name)) std::snprintf(out, room, "%s", a.path.c_str());
    platformSetLastError(2);  // what a failed query leaves
    return a.name;
}

TEST(KestrelFolder, TheProgramsFolderWhenItCanBeNamedElseTheWorkingFolderWithOneLine) {
    useFolderQueries([](char* out, size_t room, char* shown,
                        size_t size) { return answer(programAnswer, out, room, shown, size); },
                     [](char* out, size_t room, char* shown, size_t size) {
                         return answer(workingAnswer, out, room, shown, size);
                     });
    using N = FolderName;
    const Answer work{N::own, "D:\\work\\", "D:\\work\\"}, lost{N::unknown, "", ""};
    const std::string from = "The folder of the kestrel program, C:\\??\\, ";
    const struct {
        Answer program, working;
        std::string folder;  // kestrel's
        std::string line;    // how the note begins; it ends with the working folder
    } cases[] = {
        {{N::own, "C:\\kestrel\\", "C:\\kestrel\\"}, work, "C:\\kestrel\\", ""},
        {{N::shortName, "C:\\KESTRE~1\\", "C:\\??\\"}, work, "C:\\KESTRE~1\\", ""},
        {{N::unspellable, "", "C:\\??\\"},
         work,
         "D:\\work\\",
         from + "has a name that this system's code page cannot spell and no short (8.3) name: kestrel"},
        {{N::tooLong, "", "C:\\??\\"},
         work,
         "D:\\work\\",
         from + "is too long for kestrel's files (at most 237 characters): kestrel keeps them"},
        {lost, work, "D:\\work\\", "kestrel cannot tell the folder of its program ("},
        // Neither can be named: the relative names, and what the system showed of the working folder.
        {{N::unspellable, "", "C:\\??\\"}, {N::unspellable, "", "E:\\??\\"}, "", from + "has a name"},
        {lost, lost, "", "kestrel cannot tell"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        core = CoreState{};
        programAnswer = c.program;
        workingAnswer = c.working;
        takeKestrelFolder();
        // Room for the longest file name behind the folder in a path buffer.
        EXPECT_EQ(roomAsked + std::strlen(kLongestFileName), static_cast<size_t>(kPathBufferSize));
        EXPECT_STREQ(core.kestrelFolder, c.folder.c_str());
        char path[kPathBufferSize];
        kestrelFilePath(kDatabaseFileName, path, sizeof path);
        EXPECT_EQ(path, (c.folder.empty() ? ".\\" : c.folder) + "kestrel.dat");
        LogCapture log(0);
        logKestrelFolderNote();
        EXPECT_TRUE(log.text().starts_with(c.line)) << log.text();
        const std::string shown = c.working.shown.empty() ? "." : c.working.shown;
        EXPECT_TRUE(c.line.empty() ? log.text().empty()
                                   : log.text().ends_with(" working folder " + shown + "\r\n"))
            << log.text();
    }
    useFolderQueries(nullptr, nullptr);
    core = CoreState{};
}

}  // namespace
