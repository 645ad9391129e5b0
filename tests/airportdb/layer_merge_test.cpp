#include <gtest/gtest.h>

#include "airportdb/airport_fixtures.h"
#include "airportdb/layer_merge.h"
#include "support/log_capture.h"

namespace {

using LayerMergeTest = RecordsTest;

size_t lineCount(const std::string& text) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++n;
    return n;
}

TEST_F(LayerMergeTest, LaterRecordWithoutTowerLatitudeChangesNothing) {
    Airport* existing = airport("LOWW", 48.1, 16.6);
    existing->twrLat = rawLat(48.11);
    existing->twrLon = rawLon(16.57);
    existing->twrAlt = 200000;
    const Airport before = *existing;
    for (uint32_t noLatitude : {0u, kRawLatZero}) {
        Airport* later = airport("LOWW", 10.0, 10.0);
        later->twrLat = noLatitude;
        later->twrLon = rawLon(1.0);
        later->twrAlt = 5000;
        LogCapture log(5);
        mergeTowerInfo(existing, later);
        EXPECT_EQ(std::memcmp(existing, &before, sizeof before), 0);
        EXPECT_EQ(lineCount(log.text()), 5u);
        EXPECT_EQ(log.text().rfind("Merging the tower info of the following two airports:\r\n"
                                   "Existing (lower layer):\r\nLOWW\t",
                                   0),
                  0u);
        EXPECT_TRUE(log.contains("\r\nNew (higher layer):\r\nLOWW\t: AP @("));
    }
}

TEST_F(LayerMergeTest, LaterTowerReplacesAllThreeFieldsButNeverTheReferencePoint) {
    Airport* existing = airport("EGLL", 51.47, -0.45);
    existing->twrLat = rawLat(51.48);
    existing->twrAlt = 90000;
    Airport* later = airport("EGLL", 40.0, 40.0);
    later->twrLat = rawLat(51.49);  // given latitude, no longitude, no altitude
    LogCapture log(5);
    mergeTowerInfo(existing, later);
    EXPECT_EQ(existing->twrLat, rawLat(51.49));
    EXPECT_EQ(existing->twrLon, kRawLonZero);
    EXPECT_EQ(existing->twrAlt, 0);
    EXPECT_EQ(existing->apLat, rawLat(51.47));
    EXPECT_EQ(existing->apLon, rawLon(-0.45));
    EXPECT_EQ(lineCount(log.text()), 8u);
    EXPECT_TRUE(log.contains("\r\nmerge overrides tower position\r\nMerged information:\r\nEGLL\t"));
}

TEST_F(LayerMergeTest, ThreeLayersLetTheHighestTowerWin) {
    LogCapture quiet(0);
    auto layers = [&](double middle, double top) {
        Airport* bottom = airport("KSEA", 47.45, -122.3);
        bottom->twrLat = rawLat(47.0);
        for (double lat : {middle, top}) {
            Airport* later = airport("KSEA");
            later->twrLat = rawLat(lat);
            mergeTowerInfo(bottom, later);
        }
        return rawLatToDegrees(bottom->twrLat);
    };
    EXPECT_NEAR(layers(47.1, 47.2), 47.2, 1e-6);
    EXPECT_NEAR(layers(47.1, 0.0), 47.1, 1e-6);
    EXPECT_NEAR(layers(0.0, 0.0), 47.0, 1e-6);
}

}  // namespace
