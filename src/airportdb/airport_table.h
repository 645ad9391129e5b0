// The airport table: the records of a build, sorted by identifier (byte order, as strcmp), so the
// decoder finds an airport that a lower layer made and the build walks them in identifier order.
// It exists only while the database is built; loaded databases never use it.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"

constexpr uint32_t kAirportTableFirstCapacity = 32768;

struct AirportTable {
    uint32_t count = 0;
    uint32_t capacity = 0;
    Airport** entries = nullptr;  // `capacity` slots, the first `count` in ascending identifier order
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
