// kestrel-sim as a program: its options, its stops and its refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/log.h"
#include "simlink/ipc_client.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

class SimProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        setenv("KESTREL_RUN_DIR", dir.path().c_str(), 1);
#endif
    }
    // Runs kestrel-sim to its end; returns its exit code.
    int run(ChildProcess& sim, const std::vector<std::string>& arguments, int timeoutMs = 30000) {
        EXPECT_TRUE(sim.start(builtProgram("kestrel-sim"), arguments, dir.path().string()));
        int exitCode = -1;
        EXPECT_TRUE(sim.waitForExit(timeoutMs, exitCode)) << sim.output() << sim.errorOutput();
        return exitCode;
    }
    TempDir dir;
};

TEST_F(SimProgramTest, UsageAndRefusedArguments) {
    ChildProcess help;
    EXPECT_EQ(run(help, {"--help"}), 0);
    EXPECT_EQ(help.output().find("Usage: kestrel-sim"), 0u);

    ChildProcess bogus;
    EXPECT_EQ(run(bogus, {"--bogus"}), 2);
    EXPECT_EQ(bogus.errorOutput().find("kestrel-sim: unknown option --bogus"), 0u) << bogus.errorOutput();

    writeFile(dir.path() / "bad.csv", "# header next\n0,0,0,0,118.1,118.1,0x80,1,0\n");
    ChildProcess badScenario;
    EXPECT_EQ(run(badScenario, {"--scenario", dir.file("bad.csv")}), 2);
    EXPECT_NE(badScenario.errorOutput().find("line 2: expected 10 fields, found 9"), std::string::npos);

    ChildProcess missing;
    EXPECT_EQ(run(missing, {"--scenario", dir.file("none.csv")}), 2);
}

TEST_F(SimProgramTest, EndsWithTheScenarioWhenAsked) {
    writeFile(dir.path() / "short.csv", "0,0,0,0,118.1,118.1,0x80,1,0,0\n2,0,0,0,118.1,118.1,0x80,1,0,0\n");
    ChildProcess sim;
    EXPECT_EQ(
        run(sim, {"--scenario", dir.file("short.csv"), "--exit-at-end", "--speed", "4", "--start", "1"}), 0);
    EXPECT_EQ(sim.output().find("kestrel-sim ready: FS98MAIN"), 0u) << sim.output();
}

TEST_F(SimProgramTest, DropsTheLinkAfterItsMessagesAndRecordsThem) {
    ChildProcess sim;
    ASSERT_TRUE(
        sim.start(builtProgram("kestrel-sim"), {"--exit-after", "1", "--record", "-"}, dir.path().string()));
    ASSERT_TRUE(sim.waitForOutput("kestrel-sim ready", 30000));
    setLogLevel(-1);
    ipcUseTransport(nullptr);
    ipcLink = IpcLink{};
    EXPECT_EQ(ipcOpen(0, &ipcResult), 1) << ipcResultText(ipcResult);
    int exitCode = -1;
    EXPECT_TRUE(sim.waitForExit(30000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(sim.output().find("\n{\"msg\":1,\"time\":"), std::string::npos) << sim.output();
    ipcShutdown();
}

TEST_F(SimProgramTest, StopsOnAControlEventAndRefusesASecondOfTheSameClass) {
    ChildProcess first;
    ASSERT_TRUE(first.start(builtProgram("kestrel-sim"), {}, dir.path().string()));
    ASSERT_TRUE(first.waitForOutput("kestrel-sim ready", 30000));

    ChildProcess second;
    EXPECT_EQ(run(second, {}), 1);
    EXPECT_NE(second.errorOutput().find("another"), std::string::npos) << second.errorOutput();

    bool delivered = first.requestStop();
    if (!delivered && runningUnderWine())
        GTEST_SKIP() << "Wine cannot route a console control event to another process";
    ASSERT_TRUE(delivered);
    int exitCode = -1;
    ASSERT_TRUE(first.waitForExit(30000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(first.errorOutput().find("kestrel-sim: stopped after 0 messages"), std::string::npos);
}

}  // namespace
