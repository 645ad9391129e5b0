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
    const Answer work{N::own, "D:\\work\\", "D:\\work\\"};
    const std::string inWork = ": kestrel keeps its files in the working folder D:\\work\\\r\n";
    const struct {
        Answer program, working;
        std::string folder;  // kestrel's
        std::string line;    // the note; "(...)" stands for the system's error text
    } cases[] = {
        {{N::own, "C:\\kestrel\\", "C:\\kestrel\\"}, work, "C:\\kestrel\\", ""},
        {{N::shortName, "C:\\KESTRE~1\\", "C:\\kestrel ?????\\"}, work, "C:\\KESTRE~1\\", ""},
        {{N::unspellable, "", "C:\\?????\\kestrel\\"},
         work,
         "D:\\work\\",
         "The folder of the kestrel program, C:\\?????\\kestrel\\, has a name that this system's code page "
         "cannot spell and no short (8.3) name" +
             inWork},
        {{N::tooLong, "", "C:\\deep\\"},
         work,
         "D:\\work\\",
         "The folder of the kestrel program, C:\\deep\\, is too long for kestrel's files (at most 237 "
         "characters): kestrel keeps them in the working folder D:\\work\\\r\n"},
        {{N::unknown, "", ""},
         work,
         "D:\\work\\",
         "kestrel cannot tell the folder of its program (...): it keeps"
         " its files in the working folder D:\\work\\\r\n"},
        // Neither folder can be named: the relative names, which the working folder's shown name explains.
        {{N::unspellable, "", "C:\\?\\"},
         {N::unspellable, "", "E:\\??\\"},
         "",
         "The folder of the kestrel program, C:\\?\\, has a name that this system's code page cannot spell "
         "and no short (8.3) name: kestrel keeps its files in the working folder E:\\??\\\r\n"},
        {{N::unknown, "", ""},
         {N::unknown, "", ""},
         "",
         "kestrel cannot tell the folder of its program (...): it keeps its files in the working folder "
         ".\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.shown);
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
        std::string line = log.text();
        const size_t open = line.find(" ("), close = line.find("): ");
        if (line.starts_with("kestrel cannot tell") && open != std::string::npos &&
            close != std::string::npos)
            line.replace(open + 2, close - open - 2, "...");
        EXPECT_EQ(line, c.line);
    }
    useFolderQueries(nullptr, nullptr);
    core = CoreState{};
    char path[kPathBufferSize];
    kestrelFilePath(kLogFileName, path, sizeof path);
    EXPECT_STREQ(path, ".\\kestrel.log");  // the default: the working folder
}

}  // namespace
