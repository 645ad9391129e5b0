#include <gtest/gtest.h>
#ifndef _WIN32
#include <sched.h>
#endif

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "airportdb/airport_fixtures.h"
#include "platform/platform.h"

namespace {

// Raw reference points, the way they stand in a file's records.
struct RawPoint {
    uint32_t lat;
    uint32_t lon;
};

// The tree in preorder, a node as its airport's index, its keys and its trig bit for bit, a missing
// child as one marker: two trees give the same stream exactly when they are the same node for node.
std::vector<uint64_t> shape(const Airport* base) {
    constexpr uint64_t kNone = ~0ull;
    std::vector<uint64_t> out;
    std::vector<const KdNode*> pending{spatialIndex.spatialIndexRoot};
    while (!pending.empty()) {
        const KdNode* n = pending.back();
        pending.pop_back();
        if (!n) {
            out.push_back(kNone);
            continue;
        }
        out.insert(out.end(), {static_cast<uint64_t>(n->airport - base), std::bit_cast<uint64_t>(n->key[0]),
                               std::bit_cast<uint64_t>(n->key[1]), std::bit_cast<uint64_t>(n->sinLat),
                               std::bit_cast<uint64_t>(n->cosLat)});
        pending.push_back(n->right);
        pending.push_back(n->left);
    }
    out.push_back(spatialIndex.height);
    return out;
}

// Whether the tree's nodes stand in memory in preorder, the order a search visits them.
bool laidOutInPreorder() {
    const KdNode* next = spatialIndex.spatialIndexRoot;
    std::vector<const KdNode*> pending{spatialIndex.spatialIndexRoot};
    while (!pending.empty()) {
        const KdNode* n = pending.back();
        pending.pop_back();
        if (!n) continue;
        if (n != next++) return false;
        pending.push_back(n->right);
        pending.push_back(n->left);
    }
    return true;
}

std::vector<RawPoint> randomPoints(uint32_t seed, size_t n, uint32_t distinct) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> lat(0, 1u << 29), lon(0, 3u << 28), pick(0, distinct - 1);
    std::vector<RawPoint> pool(distinct);
    for (RawPoint& p : pool)
        p = {lat(random), lon(random)};
    std::vector<RawPoint> points(n);
    for (RawPoint& p : points)
        p = pool[pick(random)];
    return points;
}

std::vector<RawPoint> line(size_t n, uint32_t lat0, int32_t latStep, uint32_t lon0, int32_t lonStep) {
    std::vector<RawPoint> points(n);
    for (size_t i = 0; i < n; ++i)
        points[i] = {lat0 + static_cast<uint32_t>(latStep * static_cast<int32_t>(i)),
                     lon0 + static_cast<uint32_t>(lonStep * static_cast<int32_t>(i))};
    return points;
}

// The airport's point and its copy, each inserted by its own descent from the root.
void insertOneByOne(Airport& a) {
    double point[2] = {rawLatToDegrees(a.apLat), rawLonToDegrees(a.apLon)};
    kdInsert(point, &a);
    point[1] += point[1] > 0 ? -360.0 : 360.0;
    kdInsert(point, &a);
}

class SpatialIndexBuildTest : public RecordsTest {};

// The one-pass build and the queued additions (descents walked side by side) against one insertion after
// another.
TEST_F(SpatialIndexBuildTest, OnePassBuildAndQueuedAdditionsGiveTheInsertionsTreeNodeForNode) {
    const uint32_t equator = 1u << 28, meridian = 3u << 27;
    const struct {
        std::string name;
        std::vector<RawPoint> points;
        size_t insertedFirst;  // added one by one before the rest: the rest then goes in by insertion
    } cases[] = {
        {"random", randomPoints(1, 5000, 5000), 0},
        {"duplicates among few positions", randomPoints(2, 4500, 7), 0},
        {"one point repeated", std::vector<RawPoint>(4500, RawPoint{equator, meridian}), 0},
        {"ascending", line(1500, 0, 300000, 0, 500000), 0},
        {"descending", line(1500, 1u << 29, -300000, 3u << 28, -500000), 0},
        {"one latitude, longitudes ascending", line(1000, equator, 0, 0, 700000), 0},
        {"zigzag across the meridian",
         {{equator, meridian},
          {equator, meridian + 1},
          {equator, meridian - 1},
          {0, 0},
          {~0u, ~0u},
          {equator, 0},
          {equator, 3u << 28},
          {equator - 5, meridian},
          {equator + 5, meridian}},
         0},
        {"index not empty", randomPoints(3, 1000, 1000), 10},
    };
    for (const auto& c : cases) {
        std::vector<Airport> airports(c.points.size(), Airport{});
        for (size_t i = 0; i < airports.size(); ++i) {
            airports[i].apLat = c.points[i].lat;
            airports[i].apLon = c.points[i].lon;
        }
        for (Airport& a : airports)
            insertOneByOne(a);
        const std::vector<uint64_t> inserted = shape(airports.data());
        releaseSpatialIndex();

        for (Airport& a : airports)
            spatialIndexQueue(&a);
        ASSERT_EQ(spatialIndexFlush(), 1) << c.name;
        EXPECT_EQ(shape(airports.data()), inserted) << c.name << ", queued";
        releaseSpatialIndex();

        for (size_t i = 0; i < c.insertedFirst; ++i)
            ASSERT_EQ(spatialIndexAdd(&airports[i]), 1) << c.name;
        const uint32_t rest = static_cast<uint32_t>(airports.size() - c.insertedFirst);
        ASSERT_EQ(spatialIndexAddAll(airports.data() + c.insertedFirst, rest), 1) << c.name;
        EXPECT_EQ(shape(airports.data()), inserted) << c.name;
        if (c.insertedFirst == 0) {
            EXPECT_TRUE(laidOutInPreorder()) << c.name;
        }
        releaseSpatialIndex();
    }
}

#ifndef _WIN32
// A process confined to one processor of several gets no helper: it would only take turns with the build.
TEST(SpatialIndexBuild, HelpersAreCountedFromTheProcessorsTheProcessMayRunOn) {
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    if (CPU_COUNT(&all) < 2) GTEST_SKIP() << "one processor to run on: nothing to confine";
    CPU_ZERO(&one);
    for (int cpu = 0; CPU_COUNT(&one) == 0; ++cpu)
        if (CPU_ISSET(cpu, &all)) CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const uint32_t processors = platformUsableProcessors(), helpers = spatialIndexBuildHelpers(100000);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(processors, 1u);
    EXPECT_EQ(helpers, 0u);
    EXPECT_EQ(platformUsableProcessors(), static_cast<uint32_t>(CPU_COUNT(&all)));
}
#endif

}  // namespace
