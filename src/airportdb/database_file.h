// kestrel.dat, the cached airport database: a header word (version 2 in the top byte, the record count
// below), the MD5 digest of scenery.cfg, one digest per layer index in layer-list order, then the
// 88-byte Airport records in identifier order. All little-endian, no trailer.
//
// The file is written under a temporary name beside databasePath and renamed into place only once it
// is complete, so a build that stops halfway leaves the previous file or none, never a torn one; a
// failed write removes the temporary file. A file is loaded only when its version, its digests and
// its exact length (20 + 16 * layers + 88 * records) all agree.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"
#include "core/core_state.h"
#include "platform/platform.h"

constexpr uint32_t kDatabaseVersion = 2;
constexpr uint32_t kDatabaseHeaderWord = kDatabaseVersion << 24;  // version 2, no records yet
constexpr uint32_t kDatabaseMaxRecords = 0xFFFFFF;                // the count has 24 bits
constexpr uint32_t kDatabaseRecordSize = 88;
constexpr uint32_t kDatabaseDigestSize = 16;
constexpr uint32_t kDatabaseWriteBuffer = 65536;  // records are written in blocks of this many bytes

// The state of the file being written or read.
struct DatabaseFile {
    // The file being written (from openDatabaseForWrite to finishDatabaseFile), or being read (from
    // its opening to the end of loadDatabase); kInvalidHandle otherwise, and whenever writing failed.
    PlatformHandle databaseHandle = kInvalidHandle;
    // Where the file is written until it is complete: databasePath with ".tmp" appended.
    char temporaryPath[kPathBufferSize + 8] = {};
    // 1 once finishDatabaseFile has put a complete file at databasePath; 0 from openDatabaseForWrite on.
    int stored = 0;
    // Records not yet written: tens of thousands of 88-byte writes would cost more than the import.
    uint32_t pendingBytes = 0;
    uint8_t pending[kDatabaseWriteBuffer] = {};
};

extern DatabaseFile databaseFile;

// Creates the temporary file and writes the header word 0x02000000 and every digest of the layer
// list. Returns 1, or 0 when the file could not be created or written (logged at level 2; the
// handle is then invalid and nothing is left on disk).
int openDatabaseForWrite();

// Appends the record's 88 bytes while a file is being written (through a buffer that
// finishDatabaseFile empties).
void writeDatabaseRecord(const Airport* airport);

// Writes the record count into the header, closes the file and renames it to databasePath. A failed
// write, seek or rename, or a count that does not fit 24 bits, is logged at level 2 and the temporary
// file removed.
void finishDatabaseFile(uint32_t recordCount);

// Loads the records from databaseHandle (open for reading) into one block and adds each to the
// spatial index. Returns the number of records, or 0 when the file is not usable (wrong version, no
// records, changed digests, wrong length, no memory). Always closes the handle.
uint32_t loadDatabase();

// Why a file gave no records.
enum class DatabaseFault {
    none,
    unreadable,      // too short for its header, or a failed read
    noRecords,       // an empty or interrupted build
    olderVersion,
    newerVersion,
    changedScenery,  // a digest differs from the layer list's
    wrongLength,
    noMemory,
};

// The reading half of loadDatabase, with its checks and messages: the records of databaseHandle in one
// new[] block that the caller owns, with their count, or null with the fault. With `againstLibrary` 0
// the layer list is not read: the digests are skipped unseen and the file need only be as long as some
// number of layers makes it. Always closes the handle.
Airport* readDatabase(int againstLibrary, uint32_t& count, DatabaseFault& fault);

// The indexing half: logs each record's dump at level 5 and adds it to the spatial index.
void indexAirports(Airport* records, uint32_t count);

// Reads the digests behind the header word and compares them with the current layer list's. Returns 1
// when all are equal, else 0.
int checkDigests();
