// The log of a run: the previous one kept beside it, then a fresh one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// A log that cannot be kept (kestrel.log's own keeping: e2e Startup.OneKestrelAtATime) costs one line, in
// the fresh log too.
TEST(RunLog, ALogThatCannotBeKeptCostsOneLine) {
    TempDir dir;
    const std::string log = dir.file("kestrel.log"), previous = dir.file("kestrel.prev.log");
    writeFile(log, "the flight that went wrong\r\n");
    std::filesystem::create_directories(previous);  // nothing can be renamed over a folder
    LogCapture console(0);
    ASSERT_EQ(openRunLog(log.c_str()), 1);
    closeLogFile();
    const std::string line = "Unable to keep the previous log as " + previous + ", error was: ";
    EXPECT_EQ(console.text().find(line), 0u) << console.text();
    EXPECT_EQ(readFile(log).find(line), 13u);  // behind the time of day
}

}  // namespace
