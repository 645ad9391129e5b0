// The log of a run: the previous one kept beside it, then a fresh one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/core_state.h"
#include "core/log.h"
#include "core/log_file.h"
#include "core/run_log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

TEST(RunLog, ThePreviousLogLiesBesideTheLog) {
    const struct {
        const char* path;
        const char* previous;
    } cases[] = {
        {".\\kestrel.log", ".\\kestrel.prev.log"},
        {"C:\\kestrel\\KESTREL.LOG", "C:\\kestrel\\KESTREL.prev.log"},
        {"C:\\logs.d\\kestrel", "C:\\logs.d\\kestrel.prev"},
        {"log", "log.prev"},
    };
    for (const auto& c : cases) {
        char previous[kPathBufferSize];
        ASSERT_EQ(previousLogPath(c.path, previous, sizeof previous), 1) << c.path;
        EXPECT_STREQ(previous, c.previous);
    }
    char small[sizeof ".\\kestrel.prev.log" - 1];
    EXPECT_EQ(previousLogPath(".\\kestrel.log", small, sizeof small), 0);
}

TEST(RunLog, EachRunKeepsTheOneBefore) {
    TempDir dir;
    const std::string log = dir.file("kestrel.log"), previous = dir.file("kestrel.prev.log");
    LogCapture console(0);
    for (const char* run : {"first", "second", "third"}) {
        ASSERT_EQ(openRunLog(log.c_str()), 1);
        logMessage(0, "%s", run);
        closeLogFile();
    }
    EXPECT_EQ(console.text(), "first\r\nsecond\r\nthird\r\n");  // the first run had nothing to keep
    EXPECT_NE(readFile(previous).find("second\r\n"), std::string::npos);
    EXPECT_EQ(readFile(previous).find("first"), std::string::npos);
    EXPECT_NE(readFile(log).find("third\r\n"), std::string::npos);
    EXPECT_EQ(readFile(log).find("second"), std::string::npos);
}

TEST(RunLog, ALogThatCannotBeKeptCostsOneLine) {
    TempDir dir;
    const std::string log = dir.file("kestrel.log"), previous = dir.file("kestrel.prev.log");
    writeFile(log, "the flight that went wrong\r\n");
    std::filesystem::create_directories(previous);  // nothing can be renamed over a folder
    LogCapture console(0);
    ASSERT_EQ(openRunLog(log.c_str()), 1);
    logMessage(0, "the run goes on");
    closeLogFile();
    const std::string line = "Unable to keep the previous log as " + previous + ", error was: ";
    EXPECT_EQ(console.text().find(line), 0u) << console.text();
    EXPECT_NE(console.text().find(".\r\nthe run goes on\r\n"), std::string::npos) << console.text();
    EXPECT_NE(readFile(log).find(line), std::string::npos);  // the fresh log says so too
}

}  // namespace
