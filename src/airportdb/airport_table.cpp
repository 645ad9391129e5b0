#include "airportdb/airport_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/log.h"
#include "platform/bulk_memory.h"

AirportTable airportTable;

// Identifiers packed into 64-bit keys (seven bytes at most, zero-filled after the NUL), in an
// open-addressing table kept at most half full. A slot holds its key beside its record, so a probe
// reads one cache line.
struct AirportIdentSlot {
    uint64_t key;
    Airport* airport;  // null: free
};

struct AirportIdentIndex {
    std::vector<AirportIdentSlot> slots;
    size_t used = 0;
};

namespace {

// strcmp order between a key and a record's identifier, reading the identifier no further than its
// seven bytes (a missing NUL ends it there).
int compareIdent(const char* key, const Airport* a) {
    for (size_t i = 0; i < sizeof a->ident; ++i) {
        unsigned char k = static_cast<unsigned char>(key[i]);
        unsigned char c = static_cast<unsigned char>(a->ident[i]);
        if (k != c) return k < c ? -1 : 1;
        if (k == '\0') return 0;
    }
    return key[sizeof a->ident] != '\0' ? 1 : 0;
}

// The table as the search sees it: nothing once the array is gone.
uint32_t liveCount() {
    return airportTable.entries ? airportTable.count : 0;
}

// The length of `text` up to its NUL, counting no further than `limit`.
size_t boundedLength(const char* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n;
}

// An identifier of at most seven bytes as a key; the bytes after its end are zero.
uint64_t packIdent(const char* ident, size_t length) {
    uint64_t key = 0;
    for (size_t i = 0; i < length; ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(ident[i])) << (8 * i);
    return key;
}

uint64_t identKey(const Airport* a) {
    return packIdent(a->ident, boundedLength(a->ident, sizeof a->ident));
}

size_t slotOf(uint64_t key, size_t mask) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

// The record indexed under `key`, or null.
Airport* indexFind(const AirportIdentIndex& index, uint64_t key) {
    if (index.slots.empty()) return nullptr;
    const size_t mask = index.slots.size() - 1;
    for (size_t at = slotOf(key, mask);; at = (at + 1) & mask) {
        const AirportIdentSlot& slot = index.slots[at];
        if (!slot.airport) return nullptr;
        if (slot.key == key) return slot.airport;
    }
}

void indexPut(AirportIdentIndex& index, uint64_t key, Airport* airport) {
    const size_t mask = index.slots.size() - 1;
    size_t at = slotOf(key, mask);
    while (index.slots[at].airport)
        at = (at + 1) & mask;
    index.slots[at] = AirportIdentSlot{key, airport};
    ++index.used;
}

// Indexes `airport` unless its identifier is there already; 0 then (or when memory ran out).
int indexAdd(AirportIdentIndex& index, Airport* airport) {
    const uint64_t key = identKey(airport);
    if (indexFind(index, key)) return 0;
    if (2 * (index.used + 1) > index.slots.size()) {
        AirportIdentIndex grown;
        size_t size = index.slots.empty() ? 1024 : index.slots.size() * 2;
        try {
            grown.slots.assign(size, AirportIdentSlot{0, nullptr});
        } catch (const std::bad_alloc&) {
            return 0;
        }
        for (const AirportIdentSlot& slot : index.slots)
            if (slot.airport) indexPut(grown, slot.key, slot.airport);
        index.slots.swap(grown.slots);
    }
    indexPut(index, key, airport);
    return 1;
}

// A record's identifier as a number in strcmp order: its seven bytes at most, the first the highest,
// zero after the NUL. Sorting these compares no bytes through the records' pointers.
uint64_t orderKey(const Airport* a) {
    uint64_t key = 0;
    const size_t length = boundedLength(a->ident, sizeof a->ident);
    for (size_t i = 0; i < length; ++i)
        key |= static_cast<uint64_t>(static_cast<unsigned char>(a->ident[i]))
               << (8 * (sizeof a->ident - 1 - i));
    return key;
}

struct PendingEntry {
    uint64_t key;
    uint32_t position;  // in the array
};

// Merges the sorted entries with the appended ones, sorted by key in `pending`, into `merged`. Among
// equal identifiers the later insertion comes first, as an insertion before the existing record gives.
void mergeAppended(PendingEntry* pending, Airport** merged) {
    AirportTable& t = airportTable;
    const uint32_t appended = t.count - t.sortedCount;
    for (uint32_t i = 0; i < appended; ++i)
        pending[i] = PendingEntry{orderKey(t.entries[t.sortedCount + i]), t.sortedCount + i};
    std::sort(pending, pending + appended, [](const PendingEntry& x, const PendingEntry& y) {
        return x.key != y.key ? x.key < y.key : x.position > y.position;
    });
    Airport** out = merged;
    uint32_t sorted = 0;
    const PendingEntry* next = pending;
    const PendingEntry* const end = pending + appended;
    while (sorted < t.sortedCount && next != end) {
        // An entry already in order stays before an appended one only when its identifier is smaller.
        if (orderKey(t.entries[sorted]) < next->key)
            *out++ = t.entries[sorted++];
        else
            *out++ = t.entries[(next++)->position];
    }
    out = std::copy(t.entries + sorted, t.entries + t.sortedCount, out);
    for (; next != end; ++next)
        *out++ = t.entries[next->position];
    std::copy(merged, merged + t.count, t.entries);
}

// Puts the appended entries in order.
void settle() {
    AirportTable& t = airportTable;
    if (!t.entries || t.sortedCount >= t.count) return;
    const size_t pendingSize = sizeof(PendingEntry) * (t.count - t.sortedCount);
    const size_t mergedSize = sizeof(Airport*) * static_cast<size_t>(t.count);
    auto* pending = static_cast<PendingEntry*>(platformAllocateBulk(pendingSize));
    auto** merged = static_cast<Airport**>(platformAllocateBulk(mergedSize));
    if (pending && merged) {
        mergeAppended(pending, merged);
    } else {
        // Without room for the keys, in place: while entries are appended the identifier index refuses
        // every repeat, so all identifiers differ and their order alone is the merge's.
        std::sort(t.entries, t.entries + t.count,
                  [](const Airport* x, const Airport* y) { return orderKey(x) < orderKey(y); });
    }
    platformReleaseBulk(pending, pendingSize);
    platformReleaseBulk(merged, mergedSize);
    t.sortedCount = t.count;
}

size_t arraySize(uint32_t capacity) {
    return sizeof(Airport*) * static_cast<size_t>(capacity);
}

void dropIndex() {
    delete airportTable.index;
    airportTable.index = nullptr;
}

// Grows the array to hold one more entry; 0 when that is impossible.
int makeRoom() {
    AirportTable& t = airportTable;
    if (!t.entries) {  // never allocated, or released: a fresh table
        t.count = 0;
        t.capacity = 0;
        t.sortedCount = 0;
        dropIndex();
        t.index = new (std::nothrow) AirportIdentIndex;
    }
    if (t.count + 1 <= t.capacity) return 1;
    // Indices are i32, so the table stops short of 2^31 entries.
    if (t.capacity >= 0x40000000u) return 0;
    uint32_t capacity = t.capacity == 0 ? kAirportTableFirstCapacity : t.capacity * 2;
    auto** grown = static_cast<Airport**>(platformAllocateBulk(arraySize(capacity)));
    if (!grown) return 0;
    if (t.entries) std::memcpy(grown, t.entries, arraySize(t.capacity));
    platformReleaseBulk(t.entries, arraySize(t.capacity));
    t.entries = grown;
    t.capacity = capacity;
    return 1;
}

}  // namespace

uint32_t airportCount() {
    return airportTable.count;
}

Airport* airportAt(uint32_t index) {
    if (index >= liveCount()) return nullptr;
    settle();
    return airportTable.entries[index];
}

int32_t findAirportIndex(const char* ident) {
    settle();
    const uint32_t count = liveCount();
    int32_t lo = 0;
    int32_t hi = static_cast<int32_t>(count) - 1;
    int32_t mid = 0;
    while (lo <= hi) {
        mid = lo + (hi - lo) / 2;
        int order = compareIdent(ident, airportTable.entries[mid]);
        if (order == 0) return mid;
        if (order > 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    if (count > 0 && compareIdent(ident, airportTable.entries[mid]) > 0) ++mid;
    return ~mid;
}

Airport* lookupAirport(const char* ident) {
    if (airportTable.entries && airportTable.index) {
        const size_t length = boundedLength(ident, sizeof(Airport::ident) + 1);
        if (length > sizeof(Airport::ident)) return nullptr;  // longer than any identifier
        return indexFind(*airportTable.index, packIdent(ident, length));
    }
    int32_t index = findAirportIndex(ident);
    return index >= 0 ? airportTable.entries[index] : nullptr;
}

int insertAirport(Airport* airport) {
    if (!makeRoom()) {
        logMessage(0, "Out of memory: airport %s could not be added to the airport table",
                   airportText(airport).ident);
        return 0;
    }
    AirportTable& t = airportTable;
    if (t.index) {
        // A new identifier joins the unordered tail; a repeated one is placed exactly (below).
        if (indexAdd(*t.index, airport)) {
            t.entries[t.count++] = airport;
            return 1;
        }
        dropIndex();  // a repeated identifier (or no memory): lookups follow the array's order from now on
    }
    int32_t found = findAirportIndex(airportText(airport).ident);
    uint32_t position = static_cast<uint32_t>(found >= 0 ? found : ~found);
    std::memmove(t.entries + position + 1, t.entries + position, sizeof(Airport*) * (t.count - position));
    t.entries[position] = airport;
    ++t.count;
    t.sortedCount = t.count;
    return 1;
}

void releaseAirportTable() {
    platformReleaseBulk(airportTable.entries, arraySize(airportTable.capacity));
    airportTable.entries = nullptr;
    airportTable.sortedCount = 0;
    dropIndex();
}
