#include <gtest/gtest.h>

#include <cmath>

#include "airportdb/airport_fixtures.h"
#include "support/log_capture.h"

namespace {

using ConversionsTest = RecordsTest;

TEST(Conversions, RawCoordinatesAltitudesAndFrequencies) {
    EXPECT_EQ(rawLonToDegrees(0), -180.0);
    EXPECT_EQ(rawLonToDegrees(805306368), 180.0);
    EXPECT_EQ(rawLonToDegrees(402653184), 0.0);
    EXPECT_EQ(rawLatToDegrees(0), 90.0);
    EXPECT_EQ(rawLatToDegrees(1u << 28), 0.0);
    EXPECT_EQ(rawLatToDegrees(1u << 29), -90.0);
    EXPECT_EQ(millimetresToMetres(-3000), -3.0);  // signed: airports below sea level exist
    EXPECT_EQ(millimetresToMetres(INT32_MIN), -2147483.648);

    EXPECT_EQ(comFrequencyMHz(0), 0.0f);
    EXPECT_EQ(comFrequencyMHz(1725), 118.725f);
    EXPECT_EQ(comFrequencyMHz(19975), 136.975f);
}

TEST(Conversions, GreatCircleDistanceInNauticalMiles) {
    const double oneDegree = 3443.9 * 3.141592653589793 / 180.0;
    EXPECT_NEAR(greatCircleNm(0, 0, 0, 1), oneDegree, 1e-9);
    EXPECT_NEAR(greatCircleNm(0, 0, 1, 0), oneDegree, 1e-9);
    EXPECT_NEAR(greatCircleNm(0, 0, 0, 1), 60.1, 0.01);
    EXPECT_NEAR(greatCircleNm(10, 170, 10, -190), 0.0, 1e-3);  // the same place 360 degrees away
    // Coincident points: rounding puts the cosine sum just above 1 at these latitudes, where acos
    // would give NaN, a distance that never wins or loses a comparison.
    for (double lat : {-89.92, -82.64, -79.84})
        EXPECT_NEAR(greatCircleNm(lat, 8.55, lat, 8.55), 0.0, 1e-3) << lat;
    EXPECT_NEAR(greatCircleNm(0, 0, 0, 180), 3443.9 * 3.141592653589793, 1e-6);
}

TEST_F(ConversionsTest, TowerAltitudeFromTheTowerOrFromTheRunwayCount) {
    Airport* a = airport("KSEA");
    a->apAlt = 12000;
    a->runwayCount = 3;
    core.currentAirport = a;
    EXPECT_EQ(towerAltitude(), 112.0);
    a->twrAlt = 45000;
    EXPECT_EQ(towerAltitude(), 45.0);
    a->twrAlt = 0;
    const uint32_t expected[] = {30, 30, 50, 100, 140, 140, 140, 140, 140};
    config->towerAlt6Rw = 0xFFFFFFFFu;  // the setting is unsigned
    for (uint8_t runways = 0; runways <= 8; ++runways) {
        a->runwayCount = runways;
        EXPECT_EQ(towerAltitude(), 12.0 + (runways >= 6 ? 4294967295.0 : expected[runways]));
    }
    // Below sea level: the height goes on top of a negative elevation; a negative tower altitude is given.
    a->runwayCount = 1;
    a->apAlt = -3000;
    EXPECT_EQ(towerAltitude(), 27.0);
    a->twrAlt = -1500;
    EXPECT_EQ(towerAltitude(), -1.5);
}

TEST(Conversions, TowerSourceLine) {
    LogCapture log(0);
    logTowerSource(0, SourceLatAirport | SourceLonTower);
    logTowerSource(0, SourceLatTower | SourceLonAirport | SourceSimpleFix);
    logTowerSource(1, 0);
    EXPECT_EQ(log.text(),
              "\tTower coordinates: lat from airport, lon from tower\r\n"
              "\tTower coordinates: lat from tower, lon from airport + simple fix\r\n");
}

}  // namespace
