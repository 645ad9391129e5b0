// The log of a run: the previous one kept beside it, then a fresh one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/log.h"
#include "core/log_file.h"
#include "core/run_log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(RunLog, ThePreviousLogLiesBesideTheLog) {
    char out[32];
    for (const auto& [path, previous] : {std::pair{".\\kestrel.log", ".\\kestrel.prev.log"},
                                         {"C:\\k\\KESTREL.LOG", "C:\\k\\KESTREL.prev.log"},
                                         {"a.d\\b", "a.d\\b.prev"}}) {
        ASSERT_EQ(previousLogPath(path, out, sizeof out), 1) << path;
        EXPECT_STREQ(out, previous);
    }
    EXPECT_EQ(previousLogPath(".\\kestrel.log", out, sizeof ".\\kestrel.prev.log" - 1), 0);
}

// The first run has nothing to keep; each later one keeps the one before; one that cannot costs a line,
// in its own log too.
TEST(RunLog, EachRunKeepsTheOneBefore) {
    TempDir dir;
    const std::string log = dir.file("kestrel.log"), previous = dir.file("kestrel.prev.log");
    LogCapture console(0);
    for (const char* run : {"first", "second", "third"}) {
        ASSERT_EQ(openRunLog(log.c_str()), 1);
        logMessage(0, "%s", run);
        closeLogFile();
    }
    EXPECT_EQ(console.text(), "first\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(readFile(previous).substr(13), "second\r\n");  // behind the time of day
    EXPECT_EQ(readFile(log).substr(13), "third\r\n");

    std::filesystem::remove(previous);
    std::filesystem::create_directories(previous);  // nothing can be renamed over a folder
    ASSERT_EQ(openRunLog(log.c_str()), 1);
    closeLogFile();
    const std::string line = "Unable to keep the previous log as " + previous + ", error was: ";
    EXPECT_EQ(console.text().find(line), 22u) << console.text();
    EXPECT_EQ(readFile(log).find(line), 13u);
}

}  // namespace
