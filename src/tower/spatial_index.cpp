#include "tower/spatial_index.h"

#include <cmath>
#include <new>

#include "airportdb/airport.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/sim_state.h"
#include "tower/conversions.h"
#include "tower/kd_node_storage.h"

SpatialIndex spatialIndex;

namespace {

constexpr uint32_t kNodesPerBlock = 4096;

}  // namespace

struct KdNodeBlock {
    KdNodeBlock* next;
    KdNode* nodes;
    uint32_t used;
    uint32_t capacity;
};

KdNode* kdTakeNodes(uint32_t count) {
    KdNodeBlock* block = spatialIndex.blocks;
    if (!block || block->capacity - block->used < count) {
        const uint32_t capacity = count > kNodesPerBlock ? count : kNodesPerBlock;
        block = new (std::nothrow) KdNodeBlock{spatialIndex.blocks, nullptr, 0, capacity};
        if (!block) return nullptr;
        // Bulk memory: the nodes of a one-pass build are written in one go, a few megabytes at once.
        block->nodes = static_cast<KdNode*>(platformAllocateBulk(static_cast<size_t>(capacity) * sizeof(KdNode)));
        if (!block->nodes) {
            delete block;
            return nullptr;
        }
        spatialIndex.blocks = block;
    }
    KdNode* nodes = block->nodes + block->used;
    block->used += count;
    return nodes;
}

int kdReserveFrames(uint32_t height) {
    SpatialIndex& s = spatialIndex;
    if (height < s.frameCapacity) return 1;  // height + 1 frames at most
    uint32_t capacity = s.frameCapacity ? s.frameCapacity : 64;
    while (capacity <= height) {
        if (capacity > UINT32_MAX / 2) return 0;
        capacity *= 2;
    }
    KdSearchFrame* frames = new (std::nothrow) KdSearchFrame[capacity];
    if (!frames) return 0;
    delete[] s.frames;
    s.frames = frames;
    s.frameCapacity = capacity;
    return 1;
}

void kdFillNode(KdNode* node, const double point[2], Airport* airport, double sinLat, double cosLat) {
    *node = KdNode{airport, {point[0], point[1]}, nullptr, nullptr, sinLat, cosLat};
}

namespace {

// Links a new node for the point where an iterative descent from the root ends; null when memory ran
// out (logged), the tree then unchanged.
KdNode* insertPoint(const double point[2], Airport* airport) {
    if (!airport) return nullptr;  // a point stands for an airport; the search dereferences it
    KdNode** link = &spatialIndex.spatialIndexRoot;
    int axis = 0;
    uint32_t depth = 1;
    while (*link) {
        KdNode* node = *link;
        // Equal keys, and any comparison with NaN, go right.
        link = node->key[axis] > point[axis] ? &node->left : &node->right;
        axis = 1 - axis;
        ++depth;
    }
    KdNode* node = nullptr;
    if (depth <= spatialIndex.height || kdReserveFrames(depth)) node = kdTakeNodes(1);
    if (!node) {
        logMessage(0, "Out of memory: an airport could not be added to the spatial index");
        return nullptr;
    }
    const double phi = degreesToRadians(rawLatToDegrees(airport->apLat));
    kdFillNode(node, point, airport, std::sin(phi), std::cos(phi));
    *link = node;
    if (depth > spatialIndex.height) spatialIndex.height = depth;
    return node;
}

// The list has room for two entries per airport the database counted; an airport that reached the index
// but not the table (memory ran out between the two) must not make a search write past its end.
void appendCandidate(Airport* airport, double distanceNm) {
    if (!core.candidates || core.candidateCount < 0 || core.candidateCount >= core.candidateCapacity) return;
    airport->distanceNm = static_cast<float>(distanceNm);
    core.candidates[core.candidateCount++] = airport;
}

}  // namespace

KdNode* kdInsert(const double point[2], Airport* airport) {
    insertPoint(point, airport);
    return spatialIndex.spatialIndexRoot;
}

int spatialIndexAdd(Airport* airport) {
    double point[2] = {rawLatToDegrees(airport->apLat), rawLonToDegrees(airport->apLon)};
    if (!insertPoint(point, airport)) return 0;
    if (point[1] > 0)
        point[1] -= 360.0;
    else
        point[1] += 360.0;
    return insertPoint(point, airport) ? 1 : 0;
}

void kdRangeSearch(const double low[2], const double high[2]) {
    const SpatialIndex& s = spatialIndex;
    if (!s.spatialIndexRoot) return;
    const double aircraftPhi = degreesToRadians(simState.clat);
    const double aircraftSin = std::sin(aircraftPhi);
    const double aircraftCos = std::cos(aircraftPhi);
    const double aircraftLon = degreesToRadians(simState.clon);
    KdSearchFrame* frames = s.frames;
    uint32_t top = 0;
    frames[top++] = {s.spatialIndexRoot, 0};
    while (top) {
        const KdSearchFrame f = frames[--top];
        const KdNode* n = f.node;
        const int a = f.axis;
        if (low[0] <= n->key[0] && n->key[0] <= high[0] && low[1] <= n->key[1] && n->key[1] <= high[1]) {
            Airport* a = n->airport;
            appendCandidate(a, greatCircleNmFromTrig(aircraftSin, aircraftCos, aircraftLon, n->sinLat,
                                                     n->cosLat, degreesToRadians(rawLonToDegrees(a->apLon))));
        }
        // Last in, first out: the right subtree waits below the left one, so the left is walked first.
        // A frame popped at depth d leaves at most one waiting frame per depth up to d + 1.
        if (n->right && high[a] >= n->key[a]) frames[top++] = {n->right, 1 - a};
        if (n->left && n->key[a] >= low[a]) frames[top++] = {n->left, 1 - a};
    }
}

void collectCandidate(Airport* airport) {
    appendCandidate(airport, greatCircleNm(simState.clat, simState.clon, rawLatToDegrees(airport->apLat),
                                           rawLonToDegrees(airport->apLon)));
}

void releaseSpatialIndex() {
    for (KdNodeBlock* block = spatialIndex.blocks; block;) {
        KdNodeBlock* next = block->next;
        platformReleaseBulk(block->nodes, static_cast<size_t>(block->capacity) * sizeof(KdNode));
        delete block;
        block = next;
    }
    delete[] spatialIndex.frames;
    spatialIndex = SpatialIndex{};
}
