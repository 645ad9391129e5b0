// The real kestrel program, started in a folder of its own and stopped the way a user stops it.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "scenery_writer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

TEST(Startup, PrintsTheDumpAndStopsCleanlyOnAControlEvent) {
    TempDir dir;
    writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n");
    // The loop needs an airport: a library in the working folder, where the scenery is looked for
    // while the simulator folder is unknown (not under Wine, see database_test.cpp).
    sceneryw::LibraryDef library;
    library.areas.resize(1);
    library.areas[0].local = "Scenery\\World";
    library.areas[0].files.resize(1);
    library.areas[0].files[0].name = "WORLD";
    library.areas[0].files[0].airports.resize(1);
    library.areas[0].files[0].airports[0].ident = "KSFO";
    std::string error;
    ASSERT_TRUE(sceneryw::writeSceneryLibrary(dir.path(), library, error)) << error;
    ChildProcess kestrel;
    ASSERT_TRUE(kestrel.start(builtProgram("kestrel"), {}, dir.path().string()));
    ASSERT_TRUE(kestrel.waitForOutput("forceFsPathToUNC=0\r\n", 30000)) << kestrel.output();
    if (!runningUnderWine()) {
        ASSERT_TRUE(kestrel.waitForOutput("Successfully imported 1 airport infos from scenery.\r\n", 30000))
            << kestrel.output();
    }
    // The handler is registered just after the database; give the loop a moment to be running.
    platformSleep(500);
    bool delivered = kestrel.requestStop();
    if (!delivered && runningUnderWine())
        GTEST_SKIP() << "Wine cannot route a console control event to another process; "
                        "e2e_wine_ctrl_c stops kestrel.exe with Ctrl+C instead";
    ASSERT_TRUE(delivered);
    int exitCode = -1;
    ASSERT_TRUE(kestrel.waitForExit(30000, exitCode)) << kestrel.output();
    EXPECT_EQ(exitCode, 0);
    std::string out = kestrel.output();
    EXPECT_EQ(out.find("Configuration dump:\r\nlogLevel=4\r\n"), 0u) << out;
    EXPECT_NE(out.find("updateInterval=100\r\n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 20), "Main loop finished\r\n");
    EXPECT_EQ(out.find("\r\r\n"), std::string::npos);  // stdout carries the log's bytes unchanged
}

TEST(Startup, OptionsAnswerAndExit) {
    TempDir dir;
    struct Case {
        const char* option;
        int exitCode;
        const char* stdoutText;
        const char* stderrText;
    } cases[] = {{"--version", 0, "kestrel 2.01\r\n", ""},
                 {"--help", 0, "Usage: kestrel [AIRPORT]", ""},
                 {"--bogus", 2, "", "Usage: kestrel [AIRPORT]"}};
    for (const Case& c : cases) {
        ChildProcess kestrel;
        ASSERT_TRUE(kestrel.start(builtProgram("kestrel"), {c.option}, dir.path().string()));
        int exitCode = -1;
        ASSERT_TRUE(kestrel.waitForExit(30000, exitCode)) << c.option;
        EXPECT_EQ(exitCode, c.exitCode) << c.option;
        EXPECT_EQ(kestrel.output().find(c.stdoutText), 0u) << c.option << ": " << kestrel.output();
        EXPECT_NE(kestrel.errorOutput().find(c.stderrText), std::string::npos) << c.option;
        if (c.stdoutText[0] == '\0') {
            EXPECT_EQ(kestrel.output(), "");
        }
    }
}

}  // namespace
