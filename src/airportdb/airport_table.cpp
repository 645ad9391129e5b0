#include "airportdb/airport_table.h"

#include <cstring>
#include <new>

#include "core/log.h"

AirportTable airportTable;

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

// Grows the array to hold one more entry; 0 when that is impossible.
int makeRoom() {
    AirportTable& t = airportTable;
    if (!t.entries) {  // never allocated, or released: a fresh table
        t.count = 0;
        t.capacity = 0;
    }
    if (t.count + 1 <= t.capacity) return 1;
    // Indices are i32, so the table stops short of 2^31 entries.
    if (t.capacity >= 0x40000000u) return 0;
    uint32_t capacity = t.capacity == 0 ? kAirportTableFirstCapacity : t.capacity * 2;
    Airport** grown = new (std::nothrow) Airport*[capacity];
    if (!grown) return 0;
    if (t.capacity) std::memcpy(grown, t.entries, sizeof(Airport*) * t.capacity);
    delete[] t.entries;
    t.entries = grown;
    t.capacity = capacity;
    return 1;
}

}  // namespace

uint32_t airportCount() {
    return airportTable.count;
}

Airport* airportAt(uint32_t index) {
    return index < liveCount() ? airportTable.entries[index] : nullptr;
}

int32_t findAirportIndex(const char* ident) {
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
    int32_t found = findAirportIndex(airportText(airport).ident);
    uint32_t position = static_cast<uint32_t>(found >= 0 ? found : ~found);
    std::memmove(t.entries + position + 1, t.entries + position, sizeof(Airport*) * (t.count - position));
    t.entries[position] = airport;
    ++t.count;
    return 1;
}

void releaseAirportTable() {
    delete[] airportTable.entries;
    airportTable.entries = nullptr;
}
