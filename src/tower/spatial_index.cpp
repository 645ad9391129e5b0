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

// Where a point's descent from the root has got to: the link it follows next and the depth of the node
// that link leads to (the root's is 1; odd depths split on latitude).
struct Descent {
    double point[2];
    KdNode** link;
    uint32_t depth;
};

Descent startDescent(const double point[2]) {
    return Descent{{point[0], point[1]}, &spatialIndex.spatialIndexRoot, 1};
}

// The link below `node` on the side of a point: left when the node's key is greater. The side is a
// coin toss, so it is chosen by a mask, not a branch: a mispredicted branch would throw away the other
// descents in flight.
KdNode** childLink(KdNode* node, bool left) {
    const uintptr_t mask = -static_cast<uintptr_t>(left);
    return reinterpret_cast<KdNode**>((reinterpret_cast<uintptr_t>(&node->left) & mask) |
                                      (reinterpret_cast<uintptr_t>(&node->right) & ~mask));
}

// One step down: equal keys, and any comparison with NaN, go right.
void stepDown(Descent& d, KdNode* node) {
    const int axis = static_cast<int>((d.depth - 1) & 1);
    d.link = childLink(node, node->key[axis] > d.point[axis]);
    ++d.depth;
}

// Takes the descent on to an empty link and puts a new node for the point there; null when memory ran
// out (logged), the tree then unchanged.
KdNode* linkPoint(Descent& d, Airport* airport, double sinLat, double cosLat) {
    while (*d.link)
        stepDown(d, *d.link);
    KdNode* node = nullptr;
    if (d.depth <= spatialIndex.height || kdReserveFrames(d.depth)) node = kdTakeNodes(1);
    if (!node) {
        logMessage(0, "Out of memory: an airport could not be added to the spatial index");
        return nullptr;
    }
    kdFillNode(node, d.point, airport, sinLat, cosLat);
    *d.link = node;
    if (d.depth > spatialIndex.height) spatialIndex.height = d.depth;
    return node;
}

// Links a new node for the point where an iterative descent from the root ends; null when memory ran
// out (logged), the tree then unchanged.
KdNode* insertPoint(const double point[2], Airport* airport) {
    if (!airport) return nullptr;  // a point stands for an airport; the search dereferences it
    Descent d = startDescent(point);
    const double phi = degreesToRadians(rawLatToDegrees(airport->apLat));
    return linkPoint(d, airport, std::sin(phi), std::cos(phi));
}

// The most airports one call of addAirports descends for at once: enough descents in flight to hide
// the cache misses of a deep tree, few enough to stay on the stack.
constexpr uint32_t kDescentBatch = 16;

// Takes each of the `count` descents listed in `moving` one step down on `axis`; returns how many are
// still moving (listed first, the ones that reached an empty link dropped).
template <int axis>
uint32_t stepAll(Descent* descents, uint8_t* moving, uint32_t count) {
    uint32_t still = 0;
    for (uint32_t k = 0; k < count; ++k) {
        Descent& d = descents[moving[k]];
        KdNode* node = *d.link;
        if (!node) continue;
        d.link = childLink(node, node->key[axis] > d.point[axis]);
        ++d.depth;
        moving[still++] = moving[k];
    }
    return still;
}

// Adds up to kDescentBatch airports as spatialIndexAdd adds them one after another. Their descents
// through the tree as it stands are walked side by side, a step of each in turn, so their cache misses
// overlap; each is then linked in order, going on below the nodes that the batch's earlier airports
// put in its way, which is where the one-by-one insertion would have taken it. Returns 1, or 0 when
// memory ran out for one of them (logged; the later ones are still added).
int addAirports(Airport* const* airports, uint32_t count) {
    Descent descents[2 * kDescentBatch];
    const uint32_t points = 2 * count;
    for (uint32_t i = 0; i < count; ++i) {
        double point[2] = {rawLatToDegrees(airports[i]->apLat), rawLonToDegrees(airports[i]->apLon)};
        descents[2 * i] = startDescent(point);
        // The copy, 360 degrees away: west when east of 0, east otherwise.
        point[1] += point[1] > 0 ? -360.0 : 360.0;
        descents[2 * i + 1] = startDescent(point);
    }
    uint8_t moving[2 * kDescentBatch];
    for (uint32_t i = 0; i < points; ++i)
        moving[i] = static_cast<uint8_t>(i);
    // All start at the root, so those still moving are always at one depth, on one axis.
    for (uint32_t count = points; count;) {
        count = stepAll<0>(descents, moving, count);
        if (count) count = stepAll<1>(descents, moving, count);
    }
    int all = 1;
    for (uint32_t i = 0; i < count; ++i) {
        Airport* airport = airports[i];
        const double phi = degreesToRadians(descents[2 * i].point[0]);
        const double sinLat = std::sin(phi);
        const double cosLat = std::cos(phi);
        // Without its first point an airport gets no copy either.
        if (!linkPoint(descents[2 * i], airport, sinLat, cosLat) ||
            !linkPoint(descents[2 * i + 1], airport, sinLat, cosLat))
            all = 0;
    }
    return all;
}

// Airports waiting for the tree, in the order they were queued.
struct DescentQueue {
    Airport* airports[kDescentBatch];
    uint32_t count = 0;
    int allAdded = 1;  // 0 once memory ran out for one of them since the last flush
};

DescentQueue queue;

// The list has room for two entries per airport the database counted; an airport that reached the index
// but not the table (memory ran out between the two) must not make a search write past its end.
void appendCandidate(Airport* airport, double distanceNm) {
    if (!core.candidates || core.candidateCount < 0 || core.candidateCount >= core.candidateCapacity) return;
    airport->distanceNm = static_cast<float>(distanceNm);
    core.candidates[core.candidateCount++] = airport;
}

// Adds what is queued; a failure waits for spatialIndexFlush to report it.
void addQueued() {
    const uint32_t count = queue.count;
    queue.count = 0;
    if (count && !addAirports(queue.airports, count)) queue.allAdded = 0;
}

}  // namespace

int spatialIndexFlush() {
    addQueued();
    const int all = queue.allAdded;
    queue.allAdded = 1;
    return all;
}

void spatialIndexQueue(Airport* airport) {
    queue.airports[queue.count++] = airport;
    if (queue.count == kDescentBatch) addQueued();
}

int spatialIndexAdd(Airport* airport) {
    addQueued();
    return addAirports(&airport, 1);
}

KdNode* kdInsert(const double point[2], Airport* airport) {
    addQueued();
    insertPoint(point, airport);
    return spatialIndex.spatialIndexRoot;
}

void kdRangeSearch(const double low[2], const double high[2]) {
    addQueued();
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
    queue.count = 0;
    queue.allAdded = 1;
}
