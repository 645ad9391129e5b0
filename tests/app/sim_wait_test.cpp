// The start's wait for the simulator: which failures wait and which end the start, and what the pilot
// reads meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/sim_wait.h"
#include "core/core_state.h"
#include "kestrel_version.h"
#include "simlink/ipc_client.h"
#include "support/log_capture.h"

namespace {

TEST(SimWait, OnlyWhatIsNotThereYetWaits) {
    constexpr uint32_t good = 0x20000000, sim = 0xFADE0009, old = 0x19980004, other = 0x12340009;
    const struct {
        uint32_t result, interfaceVersion, simVersion;
        SimAnswer answer;
    } cases[] = {
        // clang-format off
        {kIpcNoServer, 0, 0, SimAnswer::notYet}, {kIpcTimedOut, 0, 0, SimAnswer::notYet},
        {kIpcSendFailed, 0, 0, SimAnswer::notYet}, {kIpcBadReply, 0, 0, SimAnswer::notYet},
        // Words of 0: the interface not ready yet, WideClient not yet connected to its server.
        {kIpcWrongVersionRemote, 0, 0, SimAnswer::notYet}, {kIpcWrongVersion, 0, sim, SimAnswer::notYet},
        {kIpcWrongVersionRemote, good, 0, SimAnswer::notYet},
        // A word that is there and wrong, whatever the other says.
        {kIpcWrongVersionRemote, old, sim, SimAnswer::refused}, {kIpcWrongVersion, old, 0, SimAnswer::refused},
        {kIpcWrongVersion, 0, other, SimAnswer::refused},
        // What Windows refused, and faults of the client.
        {kIpcNoMessage, 0, 0, SimAnswer::refused}, {kIpcNoAtom, 0, 0, SimAnswer::refused},
        {kIpcNoMapping, 0, 0, SimAnswer::refused}, {kIpcNoView, 0, 0, SimAnswer::refused},
        {kIpcWrongSimVersion, good, sim, SimAnswer::refused}, {kIpcQueueFull, 0, 0, SimAnswer::refused},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(openFailureMeaning(c.result, c.interfaceVersion, c.simVersion), c.answer)
            << c.result << " " << std::hex << c.interfaceVersion << " " << c.simVersion;
}

// The attempts a test plays, one per call, and what the wait did with them.
struct Script {
    std::vector<SimAttempt> attempts;
    size_t next = 0;
    uint32_t slept = 0;
    std::vector<std::string> titles;
} script;

SimWaitEnd play(std::vector<SimAttempt> attempts) {
    core = CoreState{};
    script = Script{};
    script.attempts = std::move(attempts);
    return waitForSimulator(SimWaitSteps{[] { return script.attempts.at(script.next++); },
                                         [](const char* title) { script.titles.push_back(title); },
                                         // A slice lasts a tick of 16 ms, as on Windows.
                                         [](uint32_t ms) { script.slept += ms < 16 ? 16 : ms; },
                                         [] { return script.slept; }});
}

const std::string kNoWindow = "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n",
                  kZeros =
                      "FSUIPC connection failed: Maybe running on WideClient, but FS not running on Server, "
                      "or wrong FSUIPC\r\n",
                  kWaitLine =
                      "kestrel waits for FS9 (or WideClient) to answer. Ctrl+C or closing this window "
                      "stops it.\r\n",
                  kTitle = "kestrel " KESTREL_VERSION;

TEST(SimWait, TheReasonIsSaidOnceAndAgainOnlyWhenItChanges) {
    const SimAttempt noWindow{SimAnswer::notYet, kIpcNoServer},
        zeros{SimAnswer::notYet, kIpcWrongVersionRemote}, noFolder{SimAnswer::notYet, kSimFolderNotReported},
        answered{SimAnswer::answered, kIpcOk};
    LogCapture log(0);
    EXPECT_EQ(play({noWindow, noWindow, zeros, zeros, noFolder, noWindow, answered}), SimWaitEnd::answered);
    EXPECT_EQ(log.text(), kNoWindow + kWaitLine + kZeros +
                              "Problem determining FS9 installation directory!\r\n" + kNoWindow);
    EXPECT_EQ(script.slept, 6 * 2000u);  // 2 s after each attempt that was not answered
    EXPECT_EQ(script.titles, (std::vector<std::string>{kTitle + " - waiting for the simulator", kTitle}));

    // A refusal after a wait says its reason again: now it ends the start.
    log.clear();
    EXPECT_EQ(play({zeros, {SimAnswer::refused, kIpcWrongVersionRemote}}), SimWaitEnd::refused);
    EXPECT_EQ(log.text(), kZeros + kWaitLine + kZeros);
    EXPECT_EQ(script.titles.back(), kTitle);
}

}  // namespace
