// The start's wait for the simulator: which failures wait and which end the start, and what the pilot
// reads meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/sim_wait.h"
#include "core/core_state.h"
#include "kestrel_version.h"
#include "simlink/ipc_client.h"
#include "support/log_capture.h"

namespace {

constexpr uint32_t kGoodInterface = 0x20000000, kGoodSim = 0xFADE0009;

TEST(SimWait, OnlyWhatIsNotThereYetWaits) {
    const struct {
        uint32_t result, interfaceVersion, simVersion;
        SimAnswer answer;
    } cases[] = {
        {kIpcNoServer, 0, 0, SimAnswer::notYet},
        {kIpcTimedOut, 0, 0, SimAnswer::notYet},
        {kIpcSendFailed, 0, 0, SimAnswer::notYet},
        {kIpcBadReply, 0, 0, SimAnswer::notYet},
        // The interface not ready yet, WideClient not yet connected to its server: words of 0.
        {kIpcWrongVersionRemote, 0, 0, SimAnswer::notYet},
        {kIpcWrongVersion, 0, 0, SimAnswer::notYet},
        {kIpcWrongVersionRemote, 0, kGoodSim, SimAnswer::notYet},
        {kIpcWrongVersionRemote, kGoodInterface, 0, SimAnswer::notYet},
        // A version that is there and cannot be used, whatever the other word says.
        {kIpcWrongVersionRemote, 0x19980004, kGoodSim, SimAnswer::refused},
        {kIpcWrongVersion, 0x19980004, 0, SimAnswer::refused},
        {kIpcWrongVersion, kGoodInterface, 0x12340009, SimAnswer::refused},
        {kIpcWrongVersionRemote, 0, 0x12340009, SimAnswer::refused},
        // What Windows refused, and faults of the client.
        {kIpcNoMessage, 0, 0, SimAnswer::refused},
        {kIpcNoAtom, 0, 0, SimAnswer::refused},
        {kIpcNoMapping, 0, 0, SimAnswer::refused},
        {kIpcNoView, 0, 0, SimAnswer::refused},
        {kIpcWrongSimVersion, kGoodInterface, kGoodSim, SimAnswer::refused},
        {kIpcNotOpen, 0, 0, SimAnswer::refused},
        {kIpcQueueFull, 0, 0, SimAnswer::refused},
        {kIpcResultCount, 0, 0, SimAnswer::refused},
        {kIpcAlreadyOpen, 0, 0, SimAnswer::answered},
    };
    for (const auto& c : cases)
        EXPECT_EQ(openFailureMeaning(c.result, c.interfaceVersion, c.simVersion), c.answer)
            << c.result << " " << std::hex << c.interfaceVersion << " " << c.simVersion;
}

// The attempts a test plays, one per call, and what the wait did with them.
struct Script {
    std::vector<SimAttempt> attempts;
    size_t next = 0;
    size_t stopAtAttempt = 0;  // 1-based; 0: never
    std::vector<std::string> titles;
    uint32_t slept = 0;
} script;

SimAttempt playAttempt() {
    ++script.next;
    if (script.next == script.stopAtAttempt) core.stopRequested.set();
    return script.attempts.at(script.next - 1);
}
void recordTitle(const char* title) {
    script.titles.push_back(title);
}
void recordSleep(uint32_t milliseconds) {
    script.slept += milliseconds;
}

class SimWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        core = CoreState{};
        script = Script{};
    }
    void TearDown() override { core = CoreState{}; }
    SimWaitEnd wait() { return waitForSimulator(SimWaitSteps{playAttempt, recordTitle, recordSleep}); }
};

const std::string kWaitLine =
    "kestrel waits for FS9 (or WideClient) to answer. Ctrl+C or closing this window stops it.\r\n";
const std::string kTitle = "kestrel " KESTREL_VERSION;

TEST_F(SimWaitTest, TheReasonIsSaidOnceAndAgainOnlyWhenItChanges) {
    const SimAttempt noWindow{SimAnswer::notYet, kIpcNoServer}, zeros{SimAnswer::notYet, kIpcWrongVersionRemote},
        noFolder{SimAnswer::notYet, kSimFolderNotReported};
    script.attempts = {noWindow, noWindow, zeros, zeros, noFolder, noWindow, {SimAnswer::answered, kIpcOk}};
    LogCapture log(0);
    EXPECT_EQ(wait(), SimWaitEnd::answered);
    EXPECT_EQ(log.text(), "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n" + kWaitLine +
                              "FSUIPC connection failed: Maybe running on WideClient, but FS not running on "
                              "Server, or wrong FSUIPC\r\n"
                              "Problem determining FS9 installation directory!\r\n"
                              "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n");
    EXPECT_EQ(script.slept, 6 * kSimWaitRetryMs);  // after each attempt that was not answered
    EXPECT_EQ(script.titles, (std::vector<std::string>{kTitle + " - waiting for the simulator", kTitle}));
}

TEST_F(SimWaitTest, AnAnswerAtOnceSaysNothingAndARefusalEndsTheWait) {
    script.attempts = {{SimAnswer::answered, kIpcOk}};
    LogCapture log(0);
    EXPECT_EQ(wait(), SimWaitEnd::answered);
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(script.titles.empty());

    script = Script{};
    script.attempts = {{SimAnswer::notYet, kIpcWrongVersionRemote}, {SimAnswer::refused, kIpcWrongVersionRemote}};
    log.clear();
    EXPECT_EQ(wait(), SimWaitEnd::refused);
    // Said again: now it ends the start.
    const std::string wrong =
        "FSUIPC connection failed: Maybe running on WideClient, but FS not running on Server, or wrong FSUIPC\r\n";
    EXPECT_EQ(log.text(), wrong + kWaitLine + wrong);
    EXPECT_EQ(script.titles.back(), kTitle);
}

TEST_F(SimWaitTest, AStopEndsTheWaitAtOnceAndSilently) {
    for (size_t stopAt : {1, 2}) {
        SetUp();
        script.attempts = {{SimAnswer::notYet, kIpcNoServer}, {SimAnswer::notYet, kIpcTimedOut}};
        script.stopAtAttempt = stopAt;
        LogCapture log(0);
        EXPECT_EQ(wait(), SimWaitEnd::stopped);
        EXPECT_EQ(script.next, stopAt);
        EXPECT_EQ(log.text(), stopAt == 1 ? "" : "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n" + kWaitLine);
    }
    // A stop during the pause between two attempts.
    SetUp();
    script.attempts = {{SimAnswer::notYet, kIpcNoServer}, {SimAnswer::notYet, kIpcNoServer}};
    LogCapture log(0);
    const auto stopMidway = [](uint32_t milliseconds) {
        script.slept += milliseconds;
        if (script.slept >= kSimWaitRetryMs / 2) core.stopRequested.set();
    };
    EXPECT_EQ(waitForSimulator(SimWaitSteps{playAttempt, recordTitle, stopMidway}), SimWaitEnd::stopped);
    EXPECT_EQ(script.next, 1u);
    EXPECT_LT(script.slept, kSimWaitRetryMs);
}

}  // namespace
