// The airport record decoder: one airport record of a BGL file becomes a new Airport (added to the
// airport table and queued for the spatial index, which spatialIndexFlush completes), or is merged into
// the airport that an earlier record of the same identifier made, applying its deletions first and then
// its name, runways and tower frequencies.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"
#include "core/bytes.h"

// Record and subrecord ids, and the size of the airport record's fixed part.
constexpr uint16_t kBglAirportRecordId = 0x0003;
constexpr uint16_t kBglRunwaySubrecordId = 0x0004;
constexpr uint16_t kBglComSubrecordId = 0x0012;
constexpr uint16_t kBglNameSubrecordId = 0x0019;
constexpr uint16_t kBglDeleteAirportSubrecordId = 0x0033;
constexpr uint32_t kBglRecordHeaderSize = 6;
constexpr uint32_t kBglAirportFixedSize = 52;
constexpr uint16_t kComTypeTower = 6;

// Decodes the airport record at `recordOffset` of the mapped BGL file `view` (`path` names the file in
// log lines). Returns 1 when the record made a new airport, 0 when it was merged into an existing one
// or could not be used (a record reaching past the file, or shorter than its fixed part: level 2).
uint32_t parseAirportRecord(const char* path, ByteView view, uint32_t recordOffset);

// Frees every airport the decoder has made. For tests and fuzzing, which build many times: nothing may
// point at them any more (release the spatial index and the table first).
void releaseImportedAirports();

// The packed identifier (five base-38 digits above 5 ignored bits) as text with its leading blanks
// removed: up to 5 characters and a NUL, written to `ident` (room for 6). Bytes after the moved NUL
// keep what they held.
void decodeIdent(uint32_t packed, char* ident);

// Acts on the subrecord at file offset `subrecordOffset`, which the caller has checked to lie inside
// its airport record: name, runway and tower COM in the normal pass, DeleteAirport in the delete pass.
void applySubrecord(const char* path, ByteView view, uint64_t subrecordOffset, Airport* target,
                    int deletePass);

// Applies a DeleteAirport subrecord (exactly its bytes, at file offset `subrecordOffset` of `path`) to
// `target`: its flags, then its runway keys and frequency deletions, as far as they lie inside the
// subrecord; counts that reach past it get a level-2 line.
void applyDeleteAirport(const char* path, uint64_t subrecordOffset, ByteView subrecord, Airport* target);
