// The 2-d tree over airport positions that the tower search queries by box.
//
// Every airport stands in it twice, the second time 360 degrees of longitude away, so a box that
// crosses the +-180 meridian needs no special case. The tree is never balanced: its shape follows the
// order of insertion (file or import order) and can degenerate into a long chain, so neither insertion
// nor search recurses.
#pragma once

#include <cstdint>

struct Airport;
struct KdNodeBlock;

struct KdNode {
    Airport* airport;  // not owned
    double key[2];     // latitude, longitude in degrees (the longitude possibly shifted by 360)
    KdNode* left;      // keys smaller on this node's axis
    KdNode* right;     // keys greater or equal on this node's axis (and any NaN comparison)
    // Sine and cosine of the airport's reference latitude: most of the cost of a candidate's distance,
    // so computed once here instead of on every search.
    double sinLat;
    double cosLat;
};

// One pending subtree of a search.
struct KdSearchFrame {
    const KdNode* node;
    int axis;
};

// The tree and what a search needs, so a search allocates nothing: the frames of a search never exceed
// the tree's height plus one, and insertion keeps room for that.
struct SpatialIndex {
    KdNode* spatialIndexRoot = nullptr;  // null while empty
    uint32_t height = 0;                 // nodes on the longest path from the root
    KdSearchFrame* frames = nullptr;
    uint32_t frameCapacity = 0;
    KdNodeBlock* blocks = nullptr;  // the nodes' storage, newest block first
};

extern SpatialIndex spatialIndex;

// Adds `airport` at its reference position and again with the longitude moved by 360 degrees (-360
// when east of 0, +360 otherwise). Returns 1, or 0 when memory ran out (logged).
int spatialIndexAdd(Airport* airport);

// Queues the airport to be added as spatialIndexAdd adds it. Queued airports are added in the order
// they were queued, several descents walked side by side (which hides the cache misses of a deep
// tree), when the queue is full, at spatialIndexFlush and before any other addition or search; the
// tree is then the one spatialIndexAdd one after another gives. For a build's many airports.
void spatialIndexQueue(Airport* airport);

// Adds the queued airports. Returns 1, or 0 when memory ran out for one of them (logged).
int spatialIndexFlush();

// Adds the `count` airports of the array as spatialIndexAdd does, one after another in array order,
// and gives the same tree node for node. Into an empty index it builds the tree in one pass: each
// subtree takes its first point in insertion order as its root and splits the rest, in order, between
// its two sides, which walks arrays instead of descending the tree once per point. Returns 1, or 0
// when memory ran out for an airport (logged).
int spatialIndexAddAll(Airport* airports, uint32_t count);

// The threads that help the one-pass build of `count` airports: none below 4,096 airports, else one
// fewer than the processors the process may run on (platformUsableProcessors), at most three.
uint32_t spatialIndexBuildHelpers(uint32_t count);

// Inserts one point (latitude, longitude) below the root; returns the root. The point is dropped
// (logged) when memory ran out.
KdNode* kdInsert(const double point[2], Airport* airport);

// Hands every airport whose point lies in the closed box low..high (latitude, longitude) to
// collectCandidate: a node before its left subtree, the left subtree before the right one.
void kdRangeSearch(const double low[2], const double high[2]);

// Appends the airport to core.candidates, while it has room (core.candidateCapacity), and stores its
// distance from the aircraft (to its reference point, single precision) in its distanceNm. The search does
// the same from the node's sine and cosine.
void collectCandidate(Airport* airport);

// Frees every node and the search frames and leaves the index empty, with nothing queued. The program keeps its index to the
// end; benchmarks and tests that build many use this. The nodes go block by block, never by a walk of
// the tree, which may be too deep to recurse.
void releaseSpatialIndex();
