// The tower placement as the simulator sees it: what reaches the stand-in simulator's core through the
// in-process transport, and the trace lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include "airportdb/airport.h"
#include "core/config.h"
#include "core/core_state.h"
#include "fake_transport.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_state.h"
#include "support/log_capture.h"
#include "tower/tower_placement.h"

namespace {

uint32_t rawLat(double degrees) {
    return static_cast<uint32_t>(std::llround((90.0 - degrees) * 536870912.0 / 180.0));
}
uint32_t rawLon(double degrees) {
    return static_cast<uint32_t>(std::llround((degrees + 180.0) * 805306368.0 / 360.0));
}
constexpr uint32_t kNoTowerLat = 268435456;  // reads as exactly 0.0 degrees
constexpr uint32_t kNoTowerLon = 402653184;

// A number field of a recorded JSON line, or NaN when the line has none.
double field(const std::string& line, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\":(-?[0-9.]+)"))) return std::nan("");
    return std::stod(m[1]);
}

std::string textOf(const std::string& line) {
    std::smatch m;
    return std::regex_search(line, m, std::regex("\"text\":\"([^\"]*)\"")) ? std::string(m[1])
                                                                           : std::string();
}

class TowerPlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        core = CoreState{};
        simState = SimState{};
        LogCapture quiet(0);
        config.reset(configDefaults());
        core.config = config.get();
        server = std::make_unique<FakeServer>();
        installFakeServer(server.get());
        ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
        server->records.clear();

        std::memset(&zurich, 0, sizeof zurich);
        std::strcpy(zurich.ident, "LSZH");
        std::strcpy(zurich.name, "Zurich");
        zurich.apLat = rawLat(47.458);
        zurich.apLon = rawLon(8.548);
        zurich.apAlt = 432000;
        zurich.twrLat = rawLat(47.45);
        zurich.twrLon = rawLon(8.55);
        zurich.twrAlt = 0;
        zurich.runwayCount = 3;
        core.currentAirport = &zurich;
    }
    void TearDown() override {
        ipcClose();
        removeFakeServer();
        core = CoreState{};
        simState = SimState{};
    }

    std::unique_ptr<Config> config;
    std::unique_ptr<FakeServer> server;
    Airport zurich;
};

TEST_F(TowerPlacementTest, NewTowerBelowTheLimitIsPlacedZoomedAndNamed) {
    simState.calt = 3042.0;  // equality counts as low enough
    LogCapture log(5);
    EXPECT_EQ(placeTower(kPlaceChanged), 1);
    ASSERT_EQ(server->records.size(), 2u);
    const std::string& tower = server->records[0];
    EXPECT_NEAR(field(tower, "towerLat"), 47.45, 1e-6);
    EXPECT_NEAR(field(tower, "towerLon"), 8.55, 1e-6);
    EXPECT_NEAR(field(tower, "towerAlt"), 432.0 + 100.0, 1e-6);  // elevation + TowerHeight3Rw
    EXPECT_EQ(field(tower, "zoom"), 384.0);
    EXPECT_EQ(textOf(server->records[1]), "Tower @ LSZH (Zurich)");
    EXPECT_EQ(field(server->records[1], "textSeconds"), 5.0);
    EXPECT_NE(
        log.text().find("Setting tower to lat 47.450000 lon 8.550000 alt 532.000000\r\nLSZH\tZurich: AP @("),
        std::string::npos)
        << log.text();
    EXPECT_NE(log.text().find("Displaying info because current alt 3042.000000 <= 3042\r\n"),
              std::string::npos);
}

TEST_F(TowerPlacementTest, AboveTheLimitNoText) {
    simState.calt = 3042.5;
    LogCapture log(5);
    placeTower(1);
    ASSERT_EQ(server->records.size(), 1u);
    EXPECT_EQ(field(server->records[0], "zoom"), 384.0);
    EXPECT_NE(log.text().find("Not displaying info: ipcWritten (1) != 1, or currentAltitude(3042.500000) > "
                              "maxDisplayInfoAltitude(3042), or reallyChanged (1) == 0\r\n"),
              std::string::npos);
}

TEST_F(TowerPlacementTest, SameTowerAgainWritesOnlyThePosition) {
    LogCapture log(5);
    placeTower(0);
    ASSERT_EQ(server->records.size(), 1u);
    EXPECT_TRUE(std::isnan(field(server->records[0], "zoom")));
    EXPECT_FALSE(std::isnan(field(server->records[0], "towerLat")));
    EXPECT_EQ(log.text().find("Setting tower"), std::string::npos);
    EXPECT_NE(log.text().find("reallyChanged (0) == 0"), std::string::npos);
}

TEST_F(TowerPlacementTest, RestoredTowerGetsItsZoomBackButNoText) {
    LogCapture log(5);
    EXPECT_EQ(placeTower(kPlaceRestore), 1);
    ASSERT_EQ(server->records.size(), 1u);
    EXPECT_NEAR(field(server->records[0], "towerLat"), 47.45, 1e-6);
    EXPECT_EQ(field(server->records[0], "zoom"), 384.0);
    EXPECT_TRUE(log.contains("reallyChanged (0) == 0")) << log.text();
}

TEST_F(TowerPlacementTest, FailedWriteShowsNoText) {
    ipcClose();  // as a failed poll leaves it
    LogCapture log(5);
    EXPECT_EQ(placeTower(kPlaceChanged), 0);  // the main loop tries again
    EXPECT_TRUE(server->records.empty());
    EXPECT_NE(log.text().find("Not displaying info: ipcWritten (0) != 1"), std::string::npos);
}

TEST_F(TowerPlacementTest, MissingTowerCoordinatesFallBackOneByOne) {
    zurich.twrLat = kNoTowerLat;  // latitude not given, longitude given
    zurich.twrAlt = 45000;
    placeTower(0);
    ASSERT_EQ(server->records.size(), 1u);
    EXPECT_NEAR(field(server->records[0], "towerLat"), 47.458, 1e-6);
    EXPECT_NEAR(field(server->records[0], "towerLon"), 8.55, 1e-6);
    EXPECT_NEAR(field(server->records[0], "towerAlt"), 45.0, 1e-6);  // the tower's own altitude
}

TEST_F(TowerPlacementTest, OnlyRunwayUnderTheTowerGetsTheSimpleFix) {
    // 47.5 N 8.5 E, no tower coordinates, one 2500 m runway heading 90 centred on the airport point.
    zurich.apLat = rawLat(47.5);
    zurich.apLon = rawLon(8.5);
    zurich.twrLat = kNoTowerLat;
    zurich.twrLon = kNoTowerLon;
    zurich.runwayCount = 1;
    zurich.singleRunway = 25001.5703125f;
    placeTower(0);
    ASSERT_EQ(server->records.size(), 1u);
    EXPECT_NEAR(field(server->records[0], "towerLat"), 47.4984656, 1e-6);
    EXPECT_NEAR(field(server->records[0], "towerLon"), 8.5000007, 1e-6);
}

TEST_F(TowerPlacementTest, LongNamesStayInsideTheText) {
    std::memcpy(zurich.ident, "ABCDEFG", 7);  // no NUL, as a damaged file could hold
    std::memset(zurich.name, 'N', sizeof zurich.name);
    placeTower(1);
    ASSERT_EQ(server->records.size(), 2u);
    EXPECT_EQ(textOf(server->records[1]), "Tower @ ABCDEF (" + std::string(31, 'N') + ")");
}

TEST_F(TowerPlacementTest, NoAirportIsNotPlaced) {
    core.currentAirport = nullptr;
    placeTower(1);
    EXPECT_TRUE(server->records.empty());
}

}  // namespace
