// The poll against an in-process simulator whose offsets the tests set directly.
#include <gtest/gtest.h>

#include <memory>

#include "core/log.h"
#include "fake_transport.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"
#include "simlink/sim_state.h"
#include "support/log_capture.h"

namespace {

constexpr uint64_t kNinetyDegreesLat = 10001750ull << 32;

class SimPollTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<FakeServer>();
        installFakeServer(server.get());
        simState = SimState{};
        setLogLevel(-1);
        sim::OffsetMemory& m = memory();
        m.putU64(0x0560, kNinetyDegreesLat);
        m.putU64(0x0568, 1ull << 62);
        m.putU64(0x0570, 1000ull << 32);
        m.putU8(0x3122, 0x80);
        m.putU16(0x034E, 0x1800);
        m.putU16(0x3118, 0x2345);
    }
    void TearDown() override {
        ipcSetStopCheck(nullptr);
        removeFakeServer();
        simState = SimState{};
    }
    sim::OffsetMemory& memory() { return server->core().memory(); }
    std::unique_ptr<FakeServer> server;
};

TEST_F(SimPollTest, PollOpensTheLinkAndReadsTheStateInFourMessages) {
    LogCapture log(5);
    EXPECT_EQ(simPoll(), 1);
    EXPECT_EQ(server->sends, 1 + 4);
    EXPECT_DOUBLE_EQ(simState.clat, 90.0);
    EXPECT_DOUBLE_EQ(simState.clon, 90.0);
    EXPECT_DOUBLE_EQ(simState.calt, 1000.0);
    EXPECT_EQ(simState.radio, 1000);
    EXPECT_EQ(log.text(),
              "success: 1 ready: 1 pmenu: 0 pgame: 0: goOn 1\r\n"
              "clat 90.000000 clon 90.000000 calt 1000.000000 radio @118.000\r\n");

    server->sends = 0;
    EXPECT_EQ(simPoll(), 1);  // the link stayed open: no second handshake
    EXPECT_EQ(server->sends, 4);
}

TEST_F(SimPollTest, NegativeAndZeroPositions) {
    memory().putU64(0x0560, static_cast<uint64_t>(-static_cast<int64_t>(kNinetyDegreesLat / 2)));
    memory().putU64(0x0568, 0x8000000000000000ull);
    memory().putU64(0x0570, 0);
    EXPECT_EQ(simPoll(), 1);
    EXPECT_DOUBLE_EQ(simState.clat, -45.0);
    EXPECT_DOUBLE_EQ(simState.clon, -180.0);
    EXPECT_DOUBLE_EQ(simState.calt, 0.0);
}

TEST_F(SimPollTest, SelectorPicksTheRadio) {
    struct Case {
        uint8_t selector;
        uint16_t radio;
    } cases[] = {{0x80, 1000}, {0x40, 6450}, {0xC0, 1000}, {0x00, kNoComFrequency}};  // none: nothing to read
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        simState.radio = 4242;
        memory().putU8(0x3122, c.selector);
        EXPECT_EQ(simPoll(), 1);
        EXPECT_EQ(simState.radio, c.radio);
    }
}

TEST_F(SimPollTest, FlagsStopThePollButKeepTheLink) {
    struct Case {
        uint32_t offset;
        int size;
        const char* line;
        int viewLost;  // a flight loading resets the simulator's view; a pause or a menu keep it
    } cases[] = {
        {0x3364, 1, "success: 1 ready: 0 pmenu: 0 pgame: 0: goOn 0\r\n", 1},
        {0x3365, 1, "success: 1 ready: 1 pmenu: 1 pgame: 0: goOn 0\r\n", 0},
        {0x0264, 2, "success: 1 ready: 1 pmenu: 0 pgame: 1: goOn 0\r\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        memory().putU8(0x3364, 0);
        memory().putU8(0x3365, 0);
        memory().putU16(0x0264, 0);
        if (c.size == 1)
            memory().putU8(c.offset, 1);
        else
            memory().putU16(c.offset, 1);
        simState.clat = 12.5;
        ASSERT_EQ(simConnect(), 1);
        simTowerViewLost();  // the first open's
        server->sends = 0;
        LogCapture log(5);
        EXPECT_EQ(simPoll(), 0);
        EXPECT_EQ(log.text(), c.line);
        EXPECT_EQ(server->sends, 1);  // no position read
        EXPECT_DOUBLE_EQ(simState.clat, 12.5);
        EXPECT_NE(ipcLink.view, nullptr);
        EXPECT_EQ(simTowerViewLost(), c.viewLost);
        EXPECT_EQ(simTowerViewLost(), 0);  // said once
    }
}

TEST_F(SimPollTest, FailedExchangeKeepsThePreviousStateAndClosesTheLink) {
    ASSERT_EQ(simPoll(), 1);
    memory().putU64(0x0560, 0);
    memory().putU16(0x034E, 0x2345);
    server->answersLeft = 1;  // the flags, then nothing
    server->sendError = 0;
    EXPECT_EQ(simPoll(), 0);
    EXPECT_EQ(ipcResult, kIpcTimedOut);
    EXPECT_EQ(ipcLink.view, nullptr);
    EXPECT_EQ(simLinkLost(), 1);
    EXPECT_DOUBLE_EQ(simState.clat, 90.0);
    EXPECT_DOUBLE_EQ(simState.clon, 90.0);
    EXPECT_DOUBLE_EQ(simState.calt, 1000.0);
    EXPECT_EQ(simState.radio, 1000);

    server->answersLeft = -1;
    simTowerViewLost();
    EXPECT_EQ(simPoll(), 1);  // reopened
    EXPECT_EQ(simLinkLost(), 0);
    EXPECT_EQ(simTowerViewLost(), 1);
    EXPECT_DOUBLE_EQ(simState.clat, 0.0);
    EXPECT_EQ(simState.radio, 6450);
}

// What a pilot sees (level 0) while the simulator is away.
TEST_F(SimPollTest, AnOutageIsToldOnceAndItsOpenFailuresOncePerReason) {
    ASSERT_EQ(simPoll(), 1);
    server->sendError = 0;
    LogCapture log(0);
    struct Step {
        bool server;      // a server window exists
        int answersLeft;  // sends it answers, then no more (-1: all)
        int polls;
        const char* said;
    } steps[] = {
        {true, 1, 1, "Simulator link failed: IPC timed out all retries; reopening it at the next poll\r\n"},
        {true, 1, 1, ""},  // the reopen's handshake, then nothing: the same outage
        {true, 0, 3, "FSUIPC connection failed: IPC timed out all retries\r\n"},
        {false, -1, 2, "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n"},
        {true, -1, 2, "Simulator link working again\r\n"},
        // A new outage tells its reasons anew, even the last one.
        {true, 0, 1, "Simulator link failed: IPC timed out all retries; reopening it at the next poll\r\n"},
        {false, -1, 2, "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n"},
    };
    for (const Step& step : steps) {
        server->fs98Main = step.server;
        server->answersLeft = step.answersLeft;
        log.clear();
        for (int i = 0; i < step.polls; ++i)
            simPoll();
        EXPECT_EQ(log.text(), step.said);
    }
}

int stopChecksLeft = 0;  // the stop check says "go on" this many times, then "stop"

TEST_F(SimPollTest, AStopEndsThePollAtTheNextExchangeWithoutAWord) {
    ASSERT_EQ(simConnect(), 1);
    server->sends = 0;
    LogCapture log(0);
    ipcSetStopCheck([] { return stopChecksLeft-- > 0 ? 0 : 1; });
    // A stop while the flags are under way, then at a reopen to a server that no longer answers.
    for (int failingSends : {0, -1}) {
        server->failingSends = failingSends;
        stopChecksLeft = 1;
        EXPECT_EQ(simPoll(), 0);
    }
    EXPECT_EQ(server->sends, 2);  // the flags, the reopen: no position read
    EXPECT_EQ(log.text(), "");
}

TEST(ComCode, DecodesBcdWords) {
    EXPECT_EQ(comCodeFromBcd(0x1800), 1000);
    EXPECT_EQ(comCodeFromBcd(0x2345), 6450);
    EXPECT_EQ(comCodeFromBcd(0x3697), 19970);
    EXPECT_EQ(comCodeFromBcd(0x1A00), 3000);   // a nibble above 9 counts as it is
    EXPECT_EQ(comCodeFromBcd(0x0000), 48536);  // below 117 MHz wraps modulo 2^16
}

}  // namespace
