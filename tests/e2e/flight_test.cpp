// Flights with the real kestrel and the stand-in simulator: which tower kestrel picks, what it writes
// into the simulator, and when it writes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "platform/platform.h"

namespace {

using namespace sceneryw;

constexpr int kTimeoutMs = 90000;
// Ten minutes of flight 0.6 nm north of Alpha, no tower tuned.
constexpr const char* kAtAlpha =
    "0,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n600,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n";

// Four airports on the meridian 8 E: Alpha at 47.00 N, Bravo 6 nm north of it, Charlie 33 nm north,
// Delta far away.
LibraryDef fourAirports() {
    return oneFileLibrary({toweredAirport("AAAA", "Alpha Field", 47.00, 118.10),
                           toweredAirport("BBBB", "Bravo", 47.10, 119.20),
                           toweredAirport("CCCC", "Charlie", 47.55, 120.30),
                           toweredAirport("DDDD", "Delta", 48.30, 121.40)});
}

class FlightTest : public ::testing::Test {
protected:
    void start(const std::string& settings, const std::string& scenario,
               const std::vector<std::string>& simArguments = {}) {
        f.writeScenery(fourAirports());
        f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n" + settings);
        f.writeScenario(scenario);
        ASSERT_TRUE(f.startSim(simArguments));
        ASSERT_TRUE(f.startKestrel());
    }

    // The tower writes recorded so far, as (airport latitude, has zoom, line index).
    struct TowerWrite {
        double lat;
        bool zoom;
        double time;
    };
    std::vector<TowerWrite> towerWrites() const {
        std::vector<TowerWrite> writes;
        for (const std::string& line : f.records())
            if (line.find("\"towerLat\"") != std::string::npos)
                writes.push_back({recordField(line, "towerLat"), line.find("\"zoom\"") != std::string::npos,
                                  recordField(line, "time")});
        return writes;
    }
    std::vector<std::string> texts(size_t from = 0) const {
        std::vector<std::string> shown;
        std::vector<std::string> lines = f.records();
        for (size_t i = from; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            size_t at = line.find("\"text\":\"");
            if (at != std::string::npos)
                shown.push_back(line.substr(at + 8, line.find('"', at + 8) - at - 8));
        }
        return shown;
    }

    FlightFixture f;
};

TEST_F(FlightTest, TheTowerFollowsTheRadioAndTheAltitudeLimit) {
    start("",
          // a matching tower within 30 nm beats the nearer Alpha (held long enough for a start under
          // Wine on a busy machine, database build included)
          "0,47.01,8.0,500,119.20,118.10,0x80,1,0,0\n"
          // Charlie's frequency, but Charlie is 32 nm away: the nearest airport wins
          "12,47.01,8.0,500,120.30,118.10,0x80,1,0,0\n"
          // above the altitude limit near Bravo: the tower moves, no text
          "16,47.11,8.0,4000,121.00,118.10,0x80,1,0,0\n"
          // paused, in a menu: nothing happens, wherever the aircraft is, and the view stays
          "20,47.55,8.0,300,121.00,118.10,0x80,1,0,1\n"
          "22,47.55,8.0,300,121.00,118.10,0x80,1,1,0\n"
          "24,47.11,8.0,4000,121.00,118.10,0x80,1,0,0\n"
          // a flight loaded (not ready) with the link unbroken: Bravo's view is set once more, with zoom
          "26,47.55,8.0,300,121.00,118.10,0x80,0,0,0\n"
          "28,47.11,8.0,4000,121.00,118.10,0x80,1,0,0\n"
          // flying again near Charlie, then on COM2 tuned to Charlie. The aircraft moves before the
          // radio changes: a poll reads the position before the radio, so a row change between its
          // exchanges must not pair Bravo's high position with Charlie's frequency (no text then).
          "30,47.54,8.0,300,121.00,118.10,0x80,1,0,0\n"
          "31,47.54,8.0,300,121.00,120.30,0x40,1,0,0\n"
          "43,47.54,8.0,300,121.00,120.30,0x40,1,0,0\n");
    ASSERT_GE(f.waitForRecord({"Tower @ CCCC (Charlie)"}, kTimeoutMs), 0) << f.kestrel.output();

    std::vector<TowerWrite> writes = towerWrites();
    ASSERT_EQ(writes.size(), 5u) << f.kestrel.output();
    EXPECT_NEAR(writes[0].lat, 47.10, 1e-6);  // Bravo, by its frequency
    EXPECT_NEAR(writes[1].lat, 47.00, 1e-6);  // Alpha, the nearest
    EXPECT_NEAR(writes[2].lat, 47.10, 1e-6);  // Bravo, the nearest, high up
    EXPECT_NEAR(writes[3].lat, 47.10, 1e-6);  // Bravo again after the flight was loaded
    EXPECT_NEAR(writes[4].lat, 47.55, 1e-6);  // Charlie
    for (const TowerWrite& w : writes)
        EXPECT_TRUE(w.zoom);          // every write here sets the view anew
    EXPECT_GE(writes[3].time, 28.0);  // nothing while paused, in a menu or not ready
    EXPECT_EQ(texts(), (std::vector<std::string>{"Tower @ BBBB (Bravo)", "Tower @ AAAA (Alpha Field)",
                                                 "Tower @ CCCC (Charlie)"}));
}

TEST_F(FlightTest, AlwaysSetTowerRepeatsThePositionWithoutZoomOrText) {
    start("AlwaysSetTower=1\r\n",
          "0,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n60,47.01,8.0,500,121.00,121.00,0x80,1,0,0\n");
    std::vector<TowerWrite> writes;
    for (int waited = 0; waited < kTimeoutMs && writes.size() < 4; waited += 100) {
        platformSleep(100);
        writes = towerWrites();
    }
    ASSERT_GE(writes.size(), 4u) << f.kestrel.output();
    EXPECT_TRUE(writes[0].zoom);
    for (size_t i = 1; i < writes.size(); ++i) {
        EXPECT_NEAR(writes[i].lat, 47.00, 1e-6);
        EXPECT_FALSE(writes[i].zoom) << i;
    }
    EXPECT_EQ(texts(), (std::vector<std::string>{"Tower @ AAAA (Alpha Field)"}));
}

TEST_F(FlightTest, RefusedTowerWritesArePlacedAgainWithZoomAndText) {
    start("", kAtAlpha, {"--fail-tower-writes", "2"});
    ASSERT_GE(f.waitForRecord({"Tower @ AAAA (Alpha Field)"}, kTimeoutMs), 0) << f.kestrel.output();
    ASSERT_EQ(towerWrites().size(), 1u);
    EXPECT_TRUE(towerWrites()[0].zoom);
    EXPECT_NE(f.kestrel.output().find("Simulator link failed: IPC request contains bad data"),
              std::string::npos);
}

TEST_F(FlightTest, ARestartedSimulatorGetsTheTowerViewBackWithoutText) {
    start("", kAtAlpha);
    ASSERT_GE(f.waitForRecord({"Tower @ AAAA"}, kTimeoutMs), 0) << f.kestrel.output();
    f.stopSim();
    ASSERT_TRUE(f.kestrel.waitForOutput("FSUIPC connection failed: ", kTimeoutMs)) << f.kestrel.output();
    const size_t restarted = f.records().size();
    ASSERT_TRUE(f.startSim());  // the same flight: the airport stays the same
    int back = f.waitForRecord({"\"towerLat\"", "\"zoom\""}, kTimeoutMs, restarted);
    ASSERT_GE(back, 0) << f.kestrel.output();
    EXPECT_NEAR(recordField(f.records()[back], "towerLat"), 47.00, 1e-6);
    platformSleep(1000);  // ten more polls
    EXPECT_EQ(texts(restarted), std::vector<std::string>{});
}

TEST_F(FlightTest, ASimulatorRestartedInMidFlightIsReconnected) {
    start("", kAtAlpha);
    ASSERT_GE(f.waitForRecord({"Tower @ AAAA"}, kTimeoutMs), 0) << f.kestrel.output();
    f.stopSim();
    // Meanwhile the aircraft flew on to Charlie.
    f.writeScenario("0,47.54,8.0,500,121.00,121.00,0x80,1,0,0\n600,47.54,8.0,500,121.00,121.00,0x80,1,0,0\n");
    ASSERT_TRUE(f.kestrel.waitForOutput("FSUIPC connection failed: ", kTimeoutMs)) << f.kestrel.output();
    ASSERT_TRUE(f.startSim());
    ASSERT_GE(f.waitForRecord({"Tower @ CCCC"}, kTimeoutMs), 0) << f.kestrel.output();
}

}  // namespace
