// kestrel against a simulator interface that misbehaves: replies it changed, garbage, late answers, a
// hang and a server that vanishes. Each time kestrel keeps running, says why the link failed, opens it
// again and places the tower once the fault is over, and never places it anywhere but at the airport.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"

namespace {

using namespace sceneryw;

// Generous: a failed exchange against a silent server takes 19 s, a failed reopen 19 more, and the
// program may run under the sanitizers or Wine.
constexpr int kTimeoutMs = 180000;

enum class Recovery {
    byItself,     // the fault ends after its messages
    endHung,      // the hung simulator is ended and a new one started
    startAnother  // the simulator went away; a new one is started
};

struct Fault {
    const char* name;
    std::vector<std::string> simArguments;
    int lastFaulted;  // the last message that may carry the fault (Recovery::byItself)
    const char* exchangeFailure;
    const char* openFailure;
    Recovery recovery;
};

// Start-up (handshake, folder) and the first poll with its placement and text take 8 messages: every
// fault begins with the second poll, and lasts into the reopen after it.
const Fault kFaults[] = {
    {"RecordSizeChanged", {"--change-size-after", "8", "--fault-count", "2"}, 10,
     "IPC request contains bad data", "IPC request contains bad data", Recovery::byItself},
    {"RecordIdentifierChanged", {"--change-id-after", "8", "--fault-count", "2"}, 10,
     "IPC request contains bad data", "IPC request contains bad data", Recovery::byItself},
    {"GarbageBlock", {"--garbage-after", "8", "--fault-count", "2"}, 10, "IPC request contains bad data",
     "IPC request contains bad data", Recovery::byItself},
    // Nine sends of the exchange and nine of the reopen.
    {"LateAnswers", {"--late-after", "8", "--fault-count", "18"}, 26, "IPC timed out all retries",
     "IPC timed out all retries", Recovery::byItself},
    {"HungForGood", {"--stop-after", "8"}, 0, "IPC timed out all retries", "IPC timed out all retries",
     Recovery::endHung},
    {"VanishedMidFlight", {"--exit-after", "8"}, 0, "IPC sendmessage failed all retries",
     "Cannot link to FSUIPC or WideClient", Recovery::startAnother},
};

// CTest shows the row's name, not its bytes.
void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.name;
}

// Alpha, 0.6 nm south of the aircraft, and Bravo 6 nm north of Alpha: a position read wrongly may pick
// either, or none.
LibraryDef twoAirports() {
    return oneFileLibrary({toweredAirport("AAAA", "AAAA", 47.00, 118.10), toweredAirport("BBBB", "BBBB", 47.10, 118.10)});
}

class HostileServerTest : public ::testing::TestWithParam<Fault> {};

TEST_P(HostileServerTest, KestrelSaysWhyReopensAndPlacesTheTowerOnceTheFaultIsOver) {
    const Fault& fault = GetParam();
    FlightFixture f;
    f.writeScenery(twoAirports());
    // The default LogLevel: a pilot sees the outage, its reason and the recovery.
    f.writeSettings("[KestrelConfig]\r\nUpdateInterval=100\r\n");
    f.writeScenario("0,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n900,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n");
    ASSERT_TRUE(f.startSim(fault.simArguments));
    ASSERT_TRUE(f.startKestrel());

    const std::string exchangeLine =
        std::string("Simulator link failed: ") + fault.exchangeFailure + "; reopening it at the next poll\r\n";
    const std::string openLine = std::string("FSUIPC connection failed: ") + fault.openFailure + "\r\n";
    ASSERT_TRUE(f.kestrel.waitForOutput(openLine, kTimeoutMs)) << f.kestrel.output();

    size_t from = 0;
    int lastFaulted = fault.lastFaulted;
    if (fault.recovery != Recovery::byItself) {
        int code = 0;
        if (fault.recovery == Recovery::endHung)
            f.sim.kill();
        else
            ASSERT_TRUE(f.sim.waitForExit(30000, code));
        from = f.records().size();
        lastFaulted = 0;  // the new simulator counts from 1
        ASSERT_TRUE(f.startSim());
    }
    int placed = -1;
    for (size_t next = from;; next = static_cast<size_t>(placed) + 1) {
        placed = f.waitForRecord({"\"towerLat\""}, kTimeoutMs, next);
        if (placed < 0 || recordField(f.records()[placed], "msg") > lastFaulted) break;
    }
    ASSERT_GE(placed, 0) << f.kestrel.output() << f.sim.errorOutput();
    EXPECT_NE(f.records()[placed].find("\"zoom\""), std::string::npos);  // the view is set anew
    ASSERT_TRUE(f.kestrel.waitForOutput("Simulator link working again\r\n", kTimeoutMs));

    const std::string out = f.kestrel.output();
    EXPECT_LT(out.find(exchangeLine), out.find(openLine)) << out;
    for (const std::string& line : f.records()) {
        if (line.find("\"towerLat\"") != std::string::npos) {
            EXPECT_NEAR(recordField(line, "towerLat"), 47.0, 1e-6) << line;
        }
    }
    int code = 0;
    EXPECT_FALSE(f.kestrel.waitForExit(0, code)) << "kestrel ended with " << code << ":\n" << out;
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileServerTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

}  // namespace
