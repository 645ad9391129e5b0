#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "airportdb/airport_fixtures.h"
#include "airportdb/tower_synthesis.h"
#include "support/log_capture.h"

namespace {

class TowerSynthesisTest : public RecordsTest {
protected:
    // An airport with a tower point and one runway centred `offset` raw units away from it.
    Airport* singleRunwayAirport(uint32_t latOffset, uint32_t lonOffset, float length, float heading) {
        Airport* a = airport("LSZH", 47.4, 8.5);
        a->twrLat = rawLat(47.45);
        a->twrLon = rawLon(8.55);
        RunwayNode* r = runway(a, 47.45, 8.55, length, heading);
        r->lat += latOffset;
        r->lon += lonOffset;
        return a;
    }
    // Places the simple fix on an airport whose only runway has the packed value `packed`.
    void fix(float packed, double& lon, double& lat) {
        Airport* a = airport("FIX");
        a->runwayCount = 1;
        a->singleRunway = packed;
        core.currentAirport = a;
        applySimpleFix(lon, lat);
    }
};

TEST_F(TowerSynthesisTest, OnlyRunwayUnderTheTowerIsPackedInSinglePrecision) {
    Airport* a = singleRunwayAirport(590, 440, 2500.7f, 271.9f);  // 0.000198 and 0.000197 degrees off
    LogCapture log(5);
    finaliseRunways(a);
    EXPECT_EQ(a->singleRunway, 25004.73046875f);
    EXPECT_EQ(a->runwayCount, 1);
    EXPECT_EQ(runwayListLength(a), 0u);
    EXPECT_TRUE(
        log.contains("lat/lon differences for tower within threshold for single runway center at LSZH\r\n"
                     "Single Rwy Info: (47.449802,8.550197), len 2500.699951 m, hdg 271.899994 -> "
                     "combined 25004.730469\r\n"));

    for (auto [latOffset, lonOffset] : {std::pair{600u, 0u}, std::pair{0u, 450u}}) {
        Airport* away = singleRunwayAirport(latOffset, lonOffset, 2500.7f, 271.9f);
        finaliseRunways(away);
        EXPECT_EQ(away->singleRunway, 0.0f);
        EXPECT_EQ(away->runwayCount, 1);
    }
}

TEST_F(TowerSynthesisTest, RunwayCountComesFromTheListAndOnlyASingleRunwayIsPacked) {
    Airport* two = singleRunwayAirport(0, 0, 2000, 90);
    runway(two, 47.45, 8.55, 2000, 90);
    Airport* none = airport("NONE");
    none->runwayCount = 3;  // the scenery's count gives way to the list's
    Airport* many = airport("MANY");
    for (int i = 0; i < 300; ++i)
        runway(many, 0, 0, 1000, 0);
    for (Airport* a : {two, none, many})
        finaliseRunways(a);
    EXPECT_EQ(two->runwayCount, 2);
    EXPECT_EQ(none->runwayCount, 0);
    EXPECT_EQ(many->runwayCount, 300 % 256);
    for (Airport* a : {two, none, many})
        EXPECT_EQ(airportSlotBits(a), 0u);
}

TEST_F(TowerSynthesisTest, WorkedExampleWithoutTowerCoordinates) {
    Airport* a = airport("LSZH", 47.5, 8.5);
    runway(a, 47.5, 8.5, 2500, 90);
    LogCapture log(5);
    finaliseRunways(a);
    EXPECT_EQ(a->singleRunway, 25001.5703125f);
    core.currentAirport = a;
    double lon = 0, lat = 0;
    EXPECT_EQ(towerPosition(lon, lat), SourceLatAirport | SourceLonAirport | SourceSimpleFix);
    EXPECT_NEAR(lat, 47.4984656, 5e-7);
    EXPECT_NEAR(lon, 8.5000007, 5e-7);
    EXPECT_TRUE(
        log.contains("rwyLength: 2500.000000, rwyHdg: 1.570312, twrHdg: 3.141109, distance: 250.000000"));
    EXPECT_TRUE(log.contains("metersLat: -249.999971, metersLon: 0.120957 =>"));
}

TEST_F(TowerSynthesisTest, SimpleFixDistanceHeadingReductionAndLongitudeWrap) {
    LogCapture log(5);
    double lon = 10, lat = 10;
    config->simpleFixDistance = -300;
    fix(25001.5703125f, lon, lat);
    EXPECT_TRUE(log.contains("distance: 300.000000"));

    config->simpleFixDistance = 10;
    fix(25005.236328125f, lon, lat);  // runway heading 300 degrees, plus 90
    EXPECT_TRUE(log.contains("twrHdg: 0.523939, distance: 250.000000"));

    config->simpleFixHeading = 0;
    config->simpleFixDistance = -222;  // about 0.002 degrees east at the equator
    lon = 179.999, lat = 0.5;
    fix(25001.5703125f, lon, lat);
    EXPECT_GT(lon, -180.0);
    EXPECT_LT(lon, -179.998);
    config->simpleFixDistance = 0;
    lon = -180.0;
    fix(25001.5703125f, lon, lat);
    EXPECT_EQ(lon, -180.0);
}

TEST_F(TowerSynthesisTest, TowerPositionFallsBackPerCoordinateAndSkipsUnusableFixes) {
    Airport* a = airport("EDDF", 50.03, 8.57);
    a->twrLon = rawLon(8.52);
    a->runwayCount = 1;  // singleRunway 0.0: no fix
    core.currentAirport = a;
    double lon, lat;
    EXPECT_EQ(towerPosition(lon, lat), SourceLatAirport | SourceLonTower);
    EXPECT_NEAR(lat, 50.03, 1e-6);
    EXPECT_NEAR(lon, 8.52, 1e-6);

    // A damaged database can hold any bits in singleRunway; the tower must not end up at NaN.
    a->twrLat = rawLat(50.04);
    a->singleRunway = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(towerPosition(lon, lat), SourceLatTower | SourceLonTower);
    applySimpleFix(lon, lat);
    EXPECT_NEAR(lat, 50.04, 1e-6);
    EXPECT_NEAR(lon, 8.52, 1e-6);
}

TEST_F(TowerSynthesisTest, TraceFollowsOnlyTheNamedAirport) {
    std::strcpy(core.debugAirport, "lszh");
    Airport* a = airport("LSZH", 45.0, 45.0);
    std::strcpy(a->name, "Zurich");
    a->apAlt = 432100;
    for (int i = 0; i < 8; ++i)
        a->towerCom[i] = static_cast<uint16_t>(1100 + 25 * i);
    runway(a, 0, 0, 1, 1);
    runway(a, 0, 0, 1, 1);
    LogCapture log(0);
    traceAirport("C:\\Sim\\Scenery\\a.bgl", airport("EDDF"));
    traceAirport("C:\\Sim\\Scenery\\a.bgl", a);
    std::string expected = "\r\nLSZH after processing C:\\Sim\\Scenery\\a.bgl\r\n";
    for (const char* f :
         {"118.100", "118.125", "118.150", "118.175", "118.200", "118.225", "118.250", "118.275"})
        expected += std::string("\tTower frequency: ") + f + "\r\n";
    expected +=
        "\tNumber of runways: 2\r\n\tAirport location (lat,lon,alt): (45.000000, 45.000000, 432.100000)\r\n"
        "\t  Tower location (lat,lon,alt): (0.000000, 0.000000, 0.000000)\r\n";
    EXPECT_EQ(log.text(), expected);

    a->towerCom[0] = 0;
    finaliseRunways(a);
    a->runwayCount = 9;
    log.clear();
    traceAirport(nullptr, a);
    EXPECT_EQ(core.currentAirport, a);
    EXPECT_EQ(log.text(),
              "\r\nFINAL RESULT FOR LSZH (Zurich)\r\n\tNumber of runways: 9\r\n"
              "\tAirport location (lat,lon,alt): (45.000000, 45.000000, 432.100000)\r\n"
              "\t  Tower location (lat,lon,alt): (45.000000, 45.000000, 572.100000)\r\n"
              "\tTower altitude: calculated using TowerHeight6Rw\r\n"
              "\tTower coordinates: lat from airport, lon from airport\r\n");

    a->runwayCount = 0;
    log.clear();
    traceAirport(nullptr, a);
    EXPECT_TRUE(log.contains("calculated using TowerHeight1Rw"));
    a->twrAlt = 1;
    log.clear();
    traceAirport(nullptr, a);
    EXPECT_TRUE(log.contains("\tTower altitude: taken from AFCAD\r\n"));
}

}  // namespace
