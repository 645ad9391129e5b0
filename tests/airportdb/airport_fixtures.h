// Airports at given positions, and a clean slate of every process-wide value the records and the tower
// search use, for the airportdb and tower tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <memory>

#include "airportdb/airport.h"
#include "airportdb/airport_table.h"
#include "airportdb/runway_lists.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "simlink/sim_state.h"
#include "tower/conversions.h"
#include "tower/spatial_index.h"

inline uint32_t rawLat(double degrees) {
    return static_cast<uint32_t>(std::llround((90.0 - degrees) / kRawLatFactor));
}
inline uint32_t rawLon(double degrees) {
    return static_cast<uint32_t>(std::llround((degrees + 180.0) / kRawLonFactor));
}
constexpr uint32_t kRawLatZero = 268435456;  // exactly 0.0 degrees: no tower latitude
constexpr uint32_t kRawLonZero = 402653184;  // exactly 0.0 degrees: no tower longitude

class RecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        releaseState();
        int32_t level = currentLogLevel();
        config.reset(configDefaults());
        setLogLevel(level);
        core.config = config.get();
    }
    void TearDown() override { releaseState(); }

    // A zero-filled airport (owned by the test) at the given reference point, without tower position.
    Airport* airport(const char* ident, double lat = 0.0, double lon = 0.0) {
        Airport* a = &pool.emplace_back();
        std::memcpy(a->ident, ident, strnlen(ident, sizeof a->ident));
        a->apLat = rawLat(lat);
        a->apLon = rawLon(lon);
        a->twrLat = kRawLatZero;
        a->twrLon = kRawLonZero;
        return a;
    }
    RunwayNode* runway(Airport* a, double lat, double lon, float length, float heading) {
        RunwayNode* r = newRunwayNode();
        r->lat = rawLat(lat);
        r->lon = rawLon(lon);
        r->lengthM = length;
        r->heading = heading;
        EXPECT_EQ(pushRunway(a, r), 1);
        return r;
    }
    // Room for a search over everything added so far.
    void allocateCandidates() {
        candidates = std::make_unique<Airport*[]>(2 * pool.size() + 1);
        core.candidates = candidates.get();
        core.candidateCapacity = static_cast<int32_t>(2 * pool.size() + 1);
    }

    std::deque<Airport> pool;
    std::unique_ptr<Config> config;
    std::unique_ptr<Airport*[]> candidates;

private:
    static void releaseState() {
        releaseAirportTable();
        airportTable = AirportTable{};
        releaseRunwayLists();
        releaseSpatialIndex();
        core = CoreState{};
        simState = SimState{};
    }
};
