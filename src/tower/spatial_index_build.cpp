// The one-pass build of the 2-d tree: the tree that inserting the points one after another gives, made
// by splitting arrays instead of descending the tree once per point.
//
// Inserted one by one, the first point of a subtree's points (in insertion order) becomes its root, and
// the later ones go left or right of it by the same comparison a descent makes. So a subtree is built by
// taking its first point as the root and splitting the rest stably (insertion order kept on each side)
// by that root's key. The work is the same number of comparisons as the insertions make, but over
// contiguous arrays, and the nodes come out in the order a search visits them.
#include <algorithm>
#include <atomic>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>
#include <new>
#include <thread>

#include "airportdb/airport.h"
#include "platform/platform.h"
#include "tower/conversions.h"
#include "tower/kd_node_storage.h"
#include "tower/spatial_index.h"

namespace {

// A point in sixteen bytes: its longitude key, and its latitude as the raw value (compared as it is,
// converted only for the node's key). The longitude is kept whole: working out a copy's shift at each
// comparison would branch.
struct BuildPoint {
    double lon;
    uint32_t rawLat;
    uint32_t source;  // insertion position: twice the airport's array index, plus one for its copy
};

double latitudeKey(const BuildPoint& p) {
    return rawLatToDegrees(p.rawLat);
}

double longitudeKey(const BuildPoint& p) {
    return p.lon;
}

// The comparison an insertion's descent makes on each axis: the point goes left of the node when the
// node's key is greater (equal keys and any NaN go right).
//
// The latitude conversion is exact for every raw value (45 * 2^-27 per step: any 32-bit raw times it,
// and 90 less that, fit a double's 53 bits), so it is strictly decreasing: a key is greater exactly when
// its raw value is smaller, and the latitude is compared without converting it.
static_assert(kRawLatFactor == 45.0 / 134217728.0, "the latitude compares as raw values only while exact");

bool leftOnLatitude(const BuildPoint& node, const BuildPoint& p) {
    return p.rawLat > node.rawLat;
}

bool leftOnLongitude(const BuildPoint& node, const BuildPoint& p) {
    return node.lon > p.lon;
}

// A run of points in one of the build's two arrays, held forward (insertion order from `begin` on) or
// backward (insertion order from `end - 1` down).
struct Run {
    BuildPoint* points;  // the array
    uint32_t begin;
    uint32_t end;
    bool backward;
};

BuildPoint firstPoint(const Run& run) {
    return run.points[run.backward ? run.end - 1 : run.begin];
}

// Splits the run's points after its first (the node), in insertion order, into the other array at the
// same place: those that go left of the node forward from `begin`, the others backward from `end - 2`.
// Either side keeps insertion order and nothing is copied back. Returns the end of the left ones (the
// right ones end at `end - 1`).
// Copies a point whole: one 16-byte move where the processor has them, which halves the stores of a
// split (two places are written per point).
inline void copyPoint(BuildPoint* to, const BuildPoint* from) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
    *to = *from;
#endif
}

template <bool (*goesLeft)(const BuildPoint&, const BuildPoint&)>
uint32_t splitRun(const Run& run, const BuildPoint& node, BuildPoint* into) {
    const uint32_t rest = run.end - run.begin - 1;
    const BuildPoint* from = run.backward ? run.points + run.end - 2 : run.points + run.begin + 1;
    const ptrdiff_t step = run.backward ? -1 : 1;
    BuildPoint* smaller = into + run.begin;
    BuildPoint* greater = into + run.end - 2;
    for (uint32_t i = 0; i < rest; ++i, from += step) {
        // The outcome is a coin toss, so both places are written and only the pointers follow it: no
        // branch to mispredict. (The two never cross: they close in by one per point, the last point
        // meeting them on one place.)
        const bool left = goesLeft(node, *from);
        copyPoint(smaller, from);
        copyPoint(greater, from);
        smaller += left;
        greater -= !left;
    }
    return static_cast<uint32_t>(smaller - into);
}

// A subtree still to be built: its points, in insertion order, the link that is to hold its root, and
// the root's place among the nodes. Nodes stand in preorder, so a subtree's nodes are contiguous and the
// place of each is known before the subtrees beside it are built: they can be built in any order, or
// at once, and the layout is the one a search visits.
struct PendingSubtree {
    Run run;
    uint32_t depth;  // of its root, the tree's root being at 1
    KdNode** link;
    uint32_t firstNode;

    uint32_t points() const { return run.end - run.begin; }
};

// What every part of one build shares; each subtree writes only its own nodes and runs.
struct Build {
    Airport* airports;
    KdNode* nodes;
    BuildPoint* order;
    BuildPoint* greater;
};

// Makes the subtree's root and splits the rest of its points between its sides. Writes the sides that
// hold points to `sides`, the right one first, and returns how many.
uint32_t buildRoot(const Build& b, const PendingSubtree& s, PendingSubtree sides[2]) {
    const Run& run = s.run;
    const BuildPoint root = firstPoint(run);
    const double key[2] = {latitudeKey(root), longitudeKey(root)};
    KdNode* node = b.nodes + s.firstNode;
    // The latitude key is the airport's reference latitude, converted as an insertion converts it: its
    // trig from here is the insertion's bit for bit, and costs less than a look-up by airport, which
    // would miss the cache once per node.
    const double phi = degreesToRadians(key[0]);
    kdFillNode(node, key, &b.airports[root.source / 2], std::sin(phi), std::cos(phi));
    *s.link = node;

    BuildPoint* const into = run.points == b.order ? b.greater : b.order;
    const uint32_t smaller = (s.depth & 1) ? splitRun<leftOnLatitude>(run, root, into)
                                           : splitRun<leftOnLongitude>(run, root, into);
    const uint32_t greaterEnd = run.end - 1;
    const uint32_t leftNodes = smaller - run.begin;
    uint32_t n = 0;
    if (smaller < greaterEnd)
        sides[n++] = PendingSubtree{Run{into, smaller, greaterEnd, true}, s.depth + 1, &node->right,
                                    s.firstNode + 1 + leftNodes};
    if (leftNodes) sides[n++] = PendingSubtree{Run{into, run.begin, smaller, false}, s.depth + 1, &node->left,
                                               s.firstNode + 1};
    return n;
}

template <class T>
std::unique_ptr<T[]> allocate(size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// The build's two arrays of points, which the splits alternate between, in one block of bulk memory
// that the build writes whole.
class BuildArrays {
public:
    explicit BuildArrays(uint32_t points)
        : points_(points), size_(sizeof(BuildPoint) * 2 * size_t{points}), block_(platformAllocateBulk(size_)) {}
    ~BuildArrays() { platformReleaseBulk(block_, size_); }
    BuildArrays(const BuildArrays&) = delete;
    BuildArrays& operator=(const BuildArrays&) = delete;

    // Null when memory ran out.
    BuildPoint* order() const { return static_cast<BuildPoint*>(block_); }
    BuildPoint* greater() const { return block_ ? order() + points_ : nullptr; }

private:
    uint32_t points_;
    size_t size_;
    void* block_;
};

// A stack of pending subtrees that grows as needed. Pending subtrees hold disjoint, non-empty runs of
// points, so it never holds more than the points.
class PendingStack {
public:
    bool push(const PendingSubtree& subtree) {
        if (size_ == capacity_ && !grow()) return false;
        items_[size_++] = subtree;
        return true;
    }
    bool empty() const { return size_ == 0; }
    PendingSubtree pop() { return items_[--size_]; }

private:
    bool grow() {
        const uint32_t capacity = capacity_ ? capacity_ * 2 : 256;
        std::unique_ptr<PendingSubtree[]> grown = allocate<PendingSubtree>(capacity);
        if (!grown) return false;
        for (uint32_t i = 0; i < size_; ++i)
            grown[i] = items_[i];
        items_ = std::move(grown);
        capacity_ = capacity;
        return true;
    }
    std::unique_ptr<PendingSubtree[]> items_;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

// Builds the whole subtree, depth first. Returns its height (the depth of its deepest node), 0 when
// memory ran out.
uint32_t buildSubtree(const Build& b, const PendingSubtree& top) {
    PendingStack pending;
    if (!pending.push(top)) return 0;
    uint32_t height = 0;
    while (!pending.empty()) {
        const PendingSubtree s = pending.pop();
        if (s.depth > height) height = s.depth;
        PendingSubtree sides[2];
        const uint32_t n = buildRoot(b, s, sides);
        // The left side waits on top: its nodes come next in memory, so they are written in order.
        for (uint32_t i = 0; i < n; ++i)
            if (!pending.push(sides[i])) return 0;
    }
    return height;
}

// Below this many points a build stays on the calling thread: starting threads would cost more.
constexpr uint32_t kPointsForThreads = 8192;
constexpr uint32_t kMostThreads = 4;
constexpr uint32_t kMostParts = 64;

// The subtrees that the threads share out, the largest first.
class Parts {
public:
    // Splits the largest subtree, from the whole tree on, until there are enough for `threads` to
    // share evenly. Returns the height of the roots made here (the nodes need no memory of their own).
    uint32_t make(const Build& b, const PendingSubtree& whole, uint32_t threads) {
        count_ = 0;
        parts_[count_++] = whole;
        uint32_t height = 0;
        const uint32_t enough = whole.points() / (4 * threads);
        while (count_ + 2 <= kMostParts) {
            uint32_t largest = 0;
            for (uint32_t i = 1; i < count_; ++i)
                if (parts_[i].points() > parts_[largest].points()) largest = i;
            if (parts_[largest].points() <= enough) break;
            const PendingSubtree s = parts_[largest];
            parts_[largest] = parts_[--count_];
            if (s.depth > height) height = s.depth;
            PendingSubtree sides[2];
            const uint32_t n = buildRoot(b, s, sides);
            for (uint32_t i = 0; i < n; ++i)
                parts_[count_++] = sides[i];
        }
        std::sort(parts_, parts_ + count_,
                  [](const PendingSubtree& x, const PendingSubtree& y) { return x.points() > y.points(); });
        return height ? height : 1;
    }

    // Builds parts until none is left; returns the height of those built, 0 when memory ran out.
    uint32_t work(const Build& b) {
        uint32_t height = 1;
        for (uint32_t i; (i = next_.fetch_add(1)) < count_;) {
            const uint32_t h = buildSubtree(b, parts_[i]);
            if (h == 0) return 0;
            if (h > height) height = h;
        }
        return height;
    }

    uint32_t count() const { return count_; }

private:
    PendingSubtree parts_[kMostParts];
    uint32_t count_ = 0;
    std::atomic<uint32_t> next_{0};
};

// Threads that help the calling one build the tree. They are started before the build's arrays are
// made and filled, because a fresh thread can take milliseconds to get going (a virtual machine wakes
// an idle processor slowly): that wait passes while the arrays fill, and they then wait, yielding,
// for the parts. The tree and its layout are the ones a single thread makes.
class Helpers {
public:
    explicit Helpers(uint32_t count) {
        for (; started_ < count && started_ < kMostThreads - 1; ++started_) {
            try {
                threads_[started_] = std::thread([this, i = started_] { help(i); });
            } catch (...) {
                break;  // no thread to be had: fewer help
            }
        }
    }
    ~Helpers() {
        uint32_t waiting = kWaiting;
        state_.compare_exchange_strong(waiting, kCancelled);
        for (uint32_t i = 0; i < started_; ++i)
            threads_[i].join();
    }
    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;

    // Builds the whole tree; returns its height, 0 when memory ran out.
    uint32_t build(const Build& b, const PendingSubtree& whole) {
        if (started_ == 0) return buildSubtree(b, whole);
        const uint32_t top = parts_.make(b, whole, started_ + 1);
        build_ = &b;
        state_.store(kGo, std::memory_order_release);
        uint32_t height = parts_.work(b);
        for (uint32_t i = 0; i < started_; ++i) {
            threads_[i].join();
            height = heights_[i] == 0 || height == 0 ? 0 : std::max(height, heights_[i]);
        }
        started_ = 0;
        return height == 0 ? 0 : std::max(height, top);
    }

private:
    enum : uint32_t { kWaiting, kGo, kCancelled };

    void help(uint32_t i) {
        uint32_t state;
        while ((state = state_.load(std::memory_order_acquire)) == kWaiting)
            std::this_thread::yield();
        if (state == kGo) heights_[i] = parts_.work(*build_);
    }

    Parts parts_;
    const Build* build_ = nullptr;
    std::atomic<uint32_t> state_{kWaiting};
    std::thread threads_[kMostThreads - 1];
    uint32_t heights_[kMostThreads - 1] = {};
    uint32_t started_ = 0;
};

// Builds the tree of the airports into the empty index; 0 when memory ran out (the index may then hold
// a part of the tree, which the caller releases).
int buildTree(Airport* airports, uint32_t count) {
    const uint32_t points = 2 * count;
    Helpers helpers(spatialIndexBuildHelpers(count));
    const BuildArrays arrays(points);
    BuildPoint* const order = arrays.order();
    KdNode* nodes = kdTakeNodes(points);
    if (!order || !nodes) return 0;
    for (uint32_t i = 0; i < count; ++i) {
        // The point and its copy as spatialIndexAdd inserts them.
        const Airport& a = airports[i];
        // The copy is moved by 360 degrees as spatialIndexAdd moves it.
        const double lon = rawLonToDegrees(a.apLon);
        order[2 * i] = BuildPoint{lon, a.apLat, 2 * i};
        order[2 * i + 1] = BuildPoint{lon > 0 ? lon - 360.0 : lon + 360.0, a.apLat, 2 * i + 1};
    }
    const Build b{airports, nodes, order, arrays.greater()};
    const PendingSubtree whole{Run{order, 0, points, false}, 1, &spatialIndex.spatialIndexRoot, 0};
    const uint32_t height = helpers.build(b, whole);
    if (height == 0 || !kdReserveFrames(height)) return 0;
    spatialIndex.height = height;
    return 1;
}

}  // namespace

uint32_t spatialIndexBuildHelpers(uint32_t count) {
    if (count < kPointsForThreads / 2) return 0;
    const uint32_t processors = platformUsableProcessors();
    return std::min(processors, kMostThreads) - 1;
}

int spatialIndexAddAll(Airport* airports, uint32_t count) {
    const int queued = spatialIndexFlush();  // those come first
    if (count == 0) return queued;
    // A tree that holds points already grows by insertion; so does one whose points would overflow.
    if (!spatialIndex.spatialIndexRoot && count <= UINT32_MAX / 2) {
        if (buildTree(airports, count)) return queued;
        releaseSpatialIndex();  // a part of the tree, or nothing: insertion says which airport is dropped
    }
    int all = queued;
    for (uint32_t i = 0; i < count; ++i) {
        spatialIndexQueue(&airports[i]);
    }
    return spatialIndexFlush() & all;
}
