// The airport table: the records of a build, sorted by identifier (byte order, as strcmp), so the
// decoder finds an airport that a lower layer made and the build walks them in identifier order.
// It exists only while the database is built; loaded databases never use it.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"

constexpr uint32_t kAirportTableFirstCapacity = 32768;

struct AirportIdentIndex;  // identifier -> record, for the entries not yet in order

// The entries behave as one array in ascending identifier order. Insertions during a build are only
// appended (found through an identifier index meanwhile) and put in order when the order is first
// asked for, so a build of N airports does not move the array's tail N times.
struct AirportTable {
    uint32_t count = 0;
    uint32_t capacity = 0;
    Airport** entries = nullptr;  // `capacity` slots: the first `sortedCount` in order, then the rest
    uint32_t sortedCount = 0;
    AirportIdentIndex* index = nullptr;  // every entry by identifier, while no identifier is repeated
};

extern AirportTable airportTable;

uint32_t airportCount();

// The record at `index`; null when the index is not below the count or the table was released.
Airport* airportAt(uint32_t index);

// The index of an entry with this identifier, else the complement of the insertion point
// (-1 - position); -1 for an empty table.
int32_t findAirportIndex(const char* ident);

// The record with this identifier, or null.
Airport* lookupAirport(const char* ident);

// Inserts `airport` in identifier order, before any entry with an equal identifier. Returns 1, or 0
// when the array could not be grown (logged; the record is then not in the table).
int insertAirport(Airport* airport);

// Frees the array at the end of a build. `count` keeps the number of airports built; the table is not
// used again (an insertion after this starts a new, empty table).
void releaseAirportTable();
