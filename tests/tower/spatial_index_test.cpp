#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "airportdb/airport_fixtures.h"

namespace {

class SpatialIndexTest : public RecordsTest {
protected:
    std::vector<Airport*> search(double lowLat, double lowLon, double highLat, double highLon) {
        if (!core.candidates) allocateCandidates();
        core.candidateCount = 0;
        const double low[2] = {lowLat, lowLon};
        const double high[2] = {highLat, highLon};
        kdRangeSearch(low, high);
        return {core.candidates, core.candidates + core.candidateCount};
    }
    // Every longitude at which each airport stands in the tree.
    std::map<Airport*, std::set<double>> longitudes() {
        std::map<Airport*, std::set<double>> found;
        std::vector<const KdNode*> pending{spatialIndex.spatialIndexRoot};
        while (!pending.empty()) {
            const KdNode* n = pending.back();
            pending.pop_back();
            if (!n) continue;
            found[n->airport].insert(n->key[1]);
            pending.push_back(n->left);
            pending.push_back(n->right);
        }
        return found;
    }
};

TEST_F(SpatialIndexTest, EveryAirportStandsTwiceThreeHundredSixtyDegreesApart) {
    Airport* east = airport("EAST", 5, 45);  // longitudes exact in raw units
    Airport* west = airport("WEST", 5, -45);
    Airport* zero = airport("ZERO", 5, 0);
    Airport* dateLine = airport("DATE", 5, -175);
    for (Airport* a : {east, west, zero, dateLine})
        ASSERT_EQ(spatialIndexAdd(a), 1);
    auto lons = longitudes();
    EXPECT_EQ(lons[east], (std::set<double>{-315, 45}));
    EXPECT_EQ(lons[west], (std::set<double>{-45, 315}));
    EXPECT_EQ(lons[zero], (std::set<double>{0, 360}));

    EXPECT_EQ(search(4, 170, 6, 190), std::vector<Airport*>{dateLine});  // through its copy at +185
    auto wide = search(-90, -400, 90, 400);  // wider than 360 degrees: every airport twice
    EXPECT_EQ(wide.size(), 8u);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), zero), 2);
}

TEST_F(SpatialIndexTest, EmptyTreeReportsNothing) {
    EXPECT_TRUE(search(-90, -360, 90, 360).empty());
}

TEST_F(SpatialIndexTest, EqualKeysGoRightAndTheBoxIsClosed) {
    Airport* first = airport("AAAA", 22.5, 5);  // a latitude exact in raw units
    Airport* second = airport("BBBB", 22.5, 6);
    spatialIndexAdd(first);
    spatialIndexAdd(second);
    const KdNode* root = spatialIndex.spatialIndexRoot;
    EXPECT_EQ(root->left, nullptr);
    EXPECT_EQ(root->right->right->airport, second);  // right of the first's copy at -355
    const double lon1 = rawLonToDegrees(first->apLon), lon2 = rawLonToDegrees(second->apLon);
    EXPECT_EQ(search(22.5, lon1, 22.5, lon2), (std::vector<Airport*>{first, second}));
    EXPECT_EQ(search(22.5, std::nextafter(lon1, 6.0), 22.5, lon2), std::vector<Airport*>{second});
}

TEST_F(SpatialIndexTest, ReportsANodeThenItsLeftSubtreeThenItsRightSubtree) {
    // Root R splits on latitude, its children on longitude.
    Airport* r = airport("R");
    Airport* x = airport("X");
    Airport* l = airport("L");
    Airport* l2 = airport("L2");
    Airport* l3 = airport("L3");
    const std::pair<Airport*, std::array<double, 2>> points[] = {
        {r, {0, 0}}, {x, {1, 0}}, {l, {-1, 0}}, {l2, {-2, -1}}, {l3, {-0.5, 1}}};
    for (const auto& [a, point] : points)
        kdInsert(point.data(), a);
    EXPECT_EQ(search(-5, -5, 5, 5), (std::vector<Airport*>{r, l, l2, l3, x}));
    EXPECT_EQ(search(-2, -1, -0.5, 0), (std::vector<Airport*>{l, l2}));
}

TEST_F(SpatialIndexTest, SearchStoresTheDistanceToTheReferencePointAsCollectCandidateDoes) {
    Airport* a = airport("KSEA", 47.45, -122.31);
    a->twrLat = rawLat(47.0);  // the tower position plays no part
    spatialIndexAdd(a);
    simState.clat = 47.0;
    simState.clon = -122.0;
    EXPECT_EQ(search(40, -130, 50, -120), std::vector<Airport*>{a});
    EXPECT_EQ(a->distanceNm, static_cast<float>(greatCircleNm(47.0, -122.0, rawLatToDegrees(a->apLat),
                                                              rawLonToDegrees(a->apLon))));

    // The search keeps each airport's latitude sine and cosine; its distances must be bit for bit those
    // of collectCandidate, wherever the aircraft and the airport are.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> lat(-89.9, 89.9), lon(-180, 180);
    for (int i = 0; i < 200; ++i) {
        Airport* b = airport("RAND", lat(random), lon(random));
        spatialIndexAdd(b);
        allocateCandidates();
        simState.clat = i % 10 == 0 ? rawLatToDegrees(b->apLat) : lat(random);
        simState.clon = i % 10 == 0 ? rawLonToDegrees(b->apLon) : lon(random);
        const double bLat = rawLatToDegrees(b->apLat), bLon = rawLonToDegrees(b->apLon);
        search(bLat, bLon, bLat, bLon);
        const float fromSearch = b->distanceNm;
        collectCandidate(b);
        ASSERT_EQ(fromSearch, b->distanceNm) << i;
    }
}

TEST_F(SpatialIndexTest, SearchWritesNoFurtherThanTheCandidateList) {
    // Two airports in the index, a list made for one (the other's table insertion failed).
    Airport* b = airport("BBBB", 6, 6);
    spatialIndexAdd(airport("AAAA", 5, 5));
    spatialIndexAdd(b);
    Airport* list[8] = {};
    core.candidates = list;
    core.candidateCapacity = 2;
    const double low[2] = {-90, -400}, high[2] = {90, 400};
    kdRangeSearch(low, high);
    collectCandidate(b);
    EXPECT_EQ(core.candidateCount, 2);
    EXPECT_EQ(list[2], nullptr);
}

TEST_F(SpatialIndexTest, DegenerateTreeOf140000SortedPointsNeitherInsertsNorSearchesRecursively) {
    // Descending in both coordinates, every point goes left: one chain as deep as the tree is big.
    Airport* a = airport("DEEP");
    const int n = 140000;
    for (int i = 0; i < n; ++i) {
        const double point[2] = {-i * 1e-4, -i * 1e-4};
        kdInsert(point, a);
    }
    EXPECT_EQ(spatialIndex.height, static_cast<uint32_t>(n));
    candidates = std::make_unique<Airport*[]>(n);
    core.candidates = candidates.get();
    core.candidateCapacity = n;
    EXPECT_EQ(search(-90, -90, 90, 90).size(), static_cast<size_t>(n));
    EXPECT_EQ(search(-13.99985, -13.99985, -13.99965, -13.99965).size(), 2u);
}

}  // namespace
