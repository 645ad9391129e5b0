// The log of a run: the previous one kept beside it, then a fresh one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/log_file.h"
#include "core/run_log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

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
