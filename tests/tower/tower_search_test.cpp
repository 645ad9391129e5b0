#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "airportdb/airport_fixtures.h"
#include "support/log_capture.h"
#include "tower/tower_search.h"

namespace {

constexpr double kDegreesPerNm = 1.0 / 60.1065;  // along a meridian, at the search's earth radius

class TowerSearchTest : public RecordsTest {
protected:
    // An airport `nm` north of the aircraft at (0, 0), with one tower frequency (0: none).
    Airport* at(const char* ident, double nm, uint16_t com = 0) {
        Airport* a = airport(ident, nm * kDegreesPerNm, 0.0);
        a->towerCom[0] = com;
        spatialIndexAdd(a);
        return a;
    }
    Airport* search(int32_t minCandidates = 100) {
        allocateCandidates();
        return towerSearch(2, minCandidates);
    }
    static size_t passes(const LogCapture& log) {
        size_t n = 0;
        for (size_t at = 0; (at = log.text().find("search for (", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }
};

TEST_F(TowerSearchTest, TunedTowerWithinTheThresholdBeatsAnyNearerAirport) {
    struct Case {
        double tunedNm;
        uint16_t tunedCom;
        uint16_t radio;
        uint32_t threshold;
        const char* winner;
    } cases[] = {
        {10, 1725, 1720, 30, "TUNED"},  // 118.725 is heard on the radio's 118.72
        {10, 1719, 1720, 30, "NEAR"},   // 118.719 is cut to 118.71
        {10, 1725, 1730, 30, "NEAR"},   // nobody in range on the tuned frequency
        {35, 1725, 1720, 30, "NEAR"},   // tuned, but beyond the threshold
        {10, 1725, 1720, 0, "NEAR"},    // threshold 0 flags nothing
        {0.5, 0, 0, 30, "TUNED"},       // no frequencies: never flagged, the nearest wins
        {10, 5, 0, 30, "NEAR"},         // no radio tuned hears no tower, not even 117.005 cut to 117.00
    };
    for (const Case& c : cases) {
        SetUp();
        at("NEAR", 1, 1000);
        at("TUNED", c.tunedNm, c.tunedCom);
        simState.radio = c.radio;
        config->comLockThreshold = c.threshold;
        LogCapture log(5);
        EXPECT_STREQ(search()->ident, c.winner) << c.tunedNm << " " << c.tunedCom << " " << c.radio;
    }
}

TEST_F(TowerSearchTest, NearestTunedTowerWinsAndTheTraceIsQuietForTheOneSelected) {
    at("FAR", 20, 1720);
    Airport* tuned = at("TUNED", 10, 1725);
    simState.radio = 1720;
    LogCapture log(5);
    EXPECT_EQ(search(), tuned);
    EXPECT_TRUE(log.contains("COM Frequency matched for TUNED at distance 10.000"));
    EXPECT_TRUE(log.contains("COM Frequency matched for FAR at distance 20.000"));
    core.currentAirport = tuned;
    log.clear();
    EXPECT_EQ(search(), tuned);
    EXPECT_FALSE(log.contains("COM Frequency matched for TUNED"));
    EXPECT_TRUE(log.contains("COM Frequency matched for FAR"));
}

TEST_F(TowerSearchTest, OnEqualDistanceTheAirportReportedLastWins) {
    at("FIRST", 3);
    Airport* second = at("SECOND", 3);
    EXPECT_EQ(search(), second);
    EXPECT_EQ(core.candidates[core.candidateCount - 1], second);
}

TEST_F(TowerSearchTest, BoxDoublesUntilItHoldsEnoughOrCoversTheWholeIndex) {
    LogCapture log(5);
    simState.clon = 170;           // from here the box needs all 13 passes to cover the index
    EXPECT_EQ(search(), nullptr);  // empty index: every pass, then nothing
    EXPECT_EQ(passes(log), 13u);
    EXPECT_TRUE(log.contains("(factor 8192)"));
    EXPECT_FALSE(log.contains("(factor 16384)"));

    simState.clon = 0;
    Airport* remote = airport("REMOTE", 1.5, 0);  // inside the box of factor 32 (+-1.6 degrees)
    spatialIndexAdd(remote);
    for (int32_t minimum : {1, 0, -5}) {  // without a positive minimum: until one airport is found
        log.clear();
        EXPECT_EQ(search(minimum), remote);
        EXPECT_EQ(passes(log), 5u);
    }
    log.clear();
    EXPECT_EQ(search(100), remote);
    EXPECT_EQ(passes(log), 12u);        // from (0, 0) the box of factor 4096 covers the index
    EXPECT_EQ(core.candidateCount, 2);  // the final box is over 360 degrees wide

    for (int i = 0; i < 3; ++i)
        at("DENSE", 1);
    log.clear();
    search(3);
    EXPECT_EQ(passes(log), 1u);

    // Whatever position the simulator reports, the growth ends.
    for (double position : {std::nan(""), 1e300, -std::numeric_limits<double>::infinity()}) {
        simState.clat = position;
        simState.clon = position;
        EXPECT_EQ(search(), nullptr);
    }
}

TEST_F(TowerSearchTest, FirstBoxReachesAcrossTheDateLine) {
    Airport* west = airport("WEST", 0, 179.9);
    Airport* east = airport("EAST", 0, -179.9);
    spatialIndexAdd(west);
    spatialIndexAdd(east);
    simState.clon = 179.99;
    LogCapture log(5);
    EXPECT_EQ(search(2), west);  // 0.09 degrees off; EAST, 0.11 off, is found through its copy at +180.1
    EXPECT_EQ(log.text().rfind("search for (-0.100000,179.790000)-(0.100000,180.190000) (factor 2) took ", 0),
              0u);
    EXPECT_NE(log.text().find(" ms, yielded 2 results\r\n"), std::string::npos);
    EXPECT_EQ(passes(log), 1u);
}

}  // namespace
