// The real transport against a real kestrel-sim process: a Unix socket and shared memory natively,
// window messages, a global atom and a named mapping under Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_output.h"
#include "simlink/sim_poll.h"
#include "simlink/sim_state.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool has(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
}

class LiveLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        setenv("KESTREL_RUN_DIR", dir.path().c_str(), 1);  // this test's own socket folder
#endif
        ipcUseTransport(nullptr);
        ipcLink = IpcLink{};
        simState = SimState{};
        config.reset(configDefaults());
        core.config = config.get();
        setLogLevel(-1);
        writeFile(dir.path() / "flight.csv",
                  "time,lat,lon,alt,com1,com2,selector,ready,menu,pause\n"
                  "0,47.5,8.5,500,118.100,121.800,0x80,1,0,0\n");
    }
    void TearDown() override {
        ipcShutdown();
        stopSim();
        core = CoreState{};
    }
    void startSim(std::vector<std::string> arguments) {
        sim = std::make_unique<ChildProcess>();
        ASSERT_TRUE(sim->start(builtProgram("kestrel-sim"), arguments, dir.path().string()));
        ASSERT_TRUE(sim->waitForOutput("kestrel-sim ready", 30000)) << sim->errorOutput();
    }
    void stopSim() {
        if (!sim) return;
        int exitCode = 0;
        if (!sim->requestStop() || !sim->waitForExit(10000, exitCode)) sim->kill();
        sim.reset();
    }
    std::vector<std::string> standard() {
        return {"--scenario", dir.file("flight.csv"), "--record", dir.file("record.jsonl"),
                "--fs-dir",   dir.path().string()};
    }
    TempDir dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<ChildProcess> sim;
};

TEST_F(LiveLinkTest, OpensPollsWritesAndReconnectsAfterARestart) {
    startSim(standard());
    ASSERT_EQ(ipcOpen(0, &ipcResult), 1) << ipcResultText(ipcResult);
    EXPECT_EQ(ipcLink.fsVersion, 9u);
    char reported[fsuipc::kSimFolderSize];
    ASSERT_EQ(askSimFolder(reported), 1);
    ASSERT_EQ(determineBaseDir(reported), 1);
    EXPECT_EQ(std::string(basedir).back(), '\\');

    ASSERT_EQ(simPoll(), 1) << ipcResultText(ipcResult);
    EXPECT_NEAR(simState.clat, 47.5, 1e-9);
    EXPECT_NEAR(simState.clon, 8.5, 1e-9);
    EXPECT_NEAR(simState.calt, 500.0, 1e-6);
    EXPECT_EQ(simState.radio, 1100);

    ASSERT_EQ(simSetTower(47.45, 8.55, 430.0, 1), 1);
    ASSERT_EQ(simShowText("Tower @ LSZH (Zurich)", 5), 1);
    std::vector<std::string> record = lines(readFile(dir.path() / "record.jsonl"));
    ASSERT_EQ(record.size(), 3u);
    EXPECT_TRUE(has(record[0], "\"libraryVersion\":1004")) << record[0];
    EXPECT_TRUE(has(record[1], "\"towerLatRaw\":" + std::to_string(towerLatitudeUnits(47.45)))) << record[1];
    EXPECT_TRUE(has(record[1], "\"towerLonRaw\":" + std::to_string(towerLongitudeUnits(8.55))));
    EXPECT_TRUE(has(record[1], "\"towerAlt\":430.000000000"));
    EXPECT_TRUE(has(record[1], "\"zoom\":384"));
    EXPECT_TRUE(has(record[2], "\"text\":\"Tower @ LSZH (Zurich)\",\"textSize\":128,\"textSeconds\":5"));

    // The simulator goes away: the exchange fails and the link is closed, the next poll finds nobody.
    stopSim();
    EXPECT_EQ(simPoll(), 0);
    EXPECT_EQ(ipcLink.view, nullptr);
    EXPECT_EQ(simPoll(), 0);
    EXPECT_EQ(ipcResult, kIpcNoServer);

    startSim(standard());
    EXPECT_EQ(simPoll(), 1) << ipcResultText(ipcResult);
    EXPECT_EQ(ipcLink.openCount, 2u);
    record = lines(readFile(dir.path() / "record.jsonl"));
    ASSERT_EQ(record.size(), 4u);
    EXPECT_TRUE(has(record[3], "{\"msg\":1,")) << record[3];  // a fresh simulator, a fresh handshake
}

TEST_F(LiveLinkTest, SimulatorFaultsReachTheClientAsResultCodes) {
    struct Case {
        std::vector<std::string> arguments;
        uint32_t result;
    } cases[] = {
        {{"--reply", "0"}, kIpcBadReply},
        {{"--reply", "2"}, kIpcBadReply},  // only 1 says the block was carried out
        {{"--version-words", "0:0"}, kIpcWrongVersionRemote},
        {{"--version-words", "0x20000000:0x12340009", "--class", "UIPCMAIN"}, kIpcWrongVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        startSim(c.arguments);
        EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
        EXPECT_EQ(ipcResult, c.result);
        EXPECT_EQ(ipcLink.view, nullptr);
        stopSim();
    }
}

TEST_F(LiveLinkTest, SendTimesOutOnAHungServerAndFailsAtOnceOnAVanishedOne) {
    startSim({"--no-reply"});
    const IpcTransport* t = platformIpcTransport();
    IpcWindow window = t->findWindow("FS98MAIN");
    ASSERT_NE(window, nullptr);
    uint32_t message = t->registerMessage("FsasmLib:IPC");
    std::string name = "FsasmLib:IPC:" + std::to_string(t->currentProcessId()) + ":live";
    uint16_t atom = t->addAtom(name.c_str());
    IpcMapping mapping = t->createMapping(name.c_str(), kIpcBlockSize);
    ASSERT_NE(mapping, nullptr);
    uint8_t* view = t->mapView(mapping);
    ASSERT_NE(view, nullptr);
    putU32(view, 0);

    using Clock = std::chrono::steady_clock;
    uint64_t reply = 7;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(t->sendMessage(window, message, atom, 300, &reply), 0);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(waited, 250);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(t->lastError(), 0u);  // a timeout, not a failure
    EXPECT_EQ(reply, 7u);

    sim->kill();
    sim.reset();
    start = Clock::now();
    EXPECT_EQ(t->sendMessage(window, message, atom, 5000, &reply), 0);
    EXPECT_NE(t->lastError(), 0u);
    waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LT(waited, 2000);

    t->unmapView(view);
    t->closeMapping(mapping);
    t->deleteAtom(atom);
}

}  // namespace
