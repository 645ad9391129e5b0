// The BGL file walker: a layer index file (scenery.dat) names the layer's BGL files; every file that
// it flags as holding airports is mapped, its airport sections are stepped through record by record,
// and every airport record goes to the decoder (airport_decoder.h).
//
// Counts, offsets and sizes in both files are checked against the mapped bytes: a structure that
// reaches past the end of its file is passed over with a level-2 line, so nothing outside a view is
// ever read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

constexpr uint32_t kBglMagic = 0x19920201;
constexpr uint32_t kBglHeaderSize = 56;
constexpr uint32_t kBglAirportSectionType = 3;
constexpr uint32_t kBglSectionEntrySize = 20;     // the header's section table: one per section
constexpr uint32_t kBglSubsectionEntrySize = 16;  // a section's subsection table: one per subsection

// Walks one mapped BGL file; `path` serves the log lines and the decoder. Returns the number of
// airports the file added to the airport table.
uint32_t parseBglFile(ByteView view, const char* path);

// Processes the `entryCount` file entries of a mapped layer index file, in the order of its offset
// table at offset 108. `indexPath` names the index in log lines. Records the stamp of every airport
// file, and the files that are there but cannot be read, in importRecord. Ends early, between two
// files, when a stop is requested. Returns the airports added.
uint32_t importIndexedFiles(ByteView index, uint32_t entryCount, const char* indexPath);

// Called for every entry of a layer index flagged as holding airports, in the order of the offset
// table, with its entry number and its BGL file's path; the path is null when the entry cannot be
// used (it reaches past the end of the index, or its path would not fit). Returns 0 to end the walk.
using AirportFileVisitor = int (*)(void* context, uint32_t entry, const char* path);

// The walk over a mapped layer index's entries that the import makes, for anyone who needs the same
// files: `visit` for each airport file from entry `firstEntry` on, with the import's level-2 and level-5
// lines when `report` is set and silently otherwise. Returns 0 when `visit` ended the walk, else 1.
int visitAirportFiles(ByteView index, uint32_t entryCount, const char* indexPath, int report,
                      AirportFileVisitor visit, void* context, uint32_t firstEntry = 0);

// The header of a mapped layer index: its entry count, and whether its layer flag says it holds
// airports (else none of its entries is looked at). 0 when the index is too short for them.
int readLayerIndexHeader(ByteView index, uint32_t& entryCount, int& holdsAirports);

// Maps the layer index file at `path` and, when its layer flag says the layer holds airports, imports
// its files. Returns the airports added (0 when the index cannot be mapped).
uint32_t importLayerIndex(const char* path);

// The path of a BGL file from its name in a layer index (`length` bytes, ending earlier at a NUL):
// the name plus ".bgl", with the simulator folder in front unless it is absolute. Returns 1, or 0 when
// the path would not fit `size` bytes (`path` then holds an empty string).
int composeBglPath(const uint8_t* name, size_t length, char* path, size_t size);
