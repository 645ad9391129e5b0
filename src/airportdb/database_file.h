// kestrel.dat, the cached airport database: a header word (version 2 in the top byte, the record count
// below), the MD5 digest of scenery.cfg, one digest per layer index in layer-list order, then the
// 88-byte Airport records in identifier order. All little-endian, no trailer.
//
// The file is written under a temporary name beside databasePath and renamed into place only once it
// is complete, so a build that stops halfway leaves the previous file or none, never a torn one; a
// failed write removes the temporary file. A file is loaded only when its version, its digests and
// its exact length (20 + 16 * layers + 88 * records) all agree.
#pragma once

#include <cstddef>
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

// Where the airports of this run came from (loadOrBuildDatabase).
enum class DatabaseSource {
    none,     // not loaded or built yet, or the start-up step failed
    file,     // loaded from the database file
    scenery,  // built from the scenery library (stored or not: see `stored`)
};

// The state of the file being written or read.
struct DatabaseFile {
    // The file being written (from openDatabaseForWrite to finishDatabaseFile), or being read (from
    // its opening to the end of loadDatabase); kInvalidHandle otherwise, and whenever writing failed.
    PlatformHandle databaseHandle = kInvalidHandle;
    // Where the file is written until it is complete: databasePath with ".tmp" appended.
    char temporaryPath[kPathBufferSize + 8] = {};
    // 1 once a build has put a complete file at databasePath, with its stamps beside it; 0 from
    // openDatabaseForWrite on.
    int stored = 0;
    DatabaseSource source = DatabaseSource::none;
    // Airport files the last build found but could not read (their airports are missing).
    uint32_t unreadFiles = 0;
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
// file removed. A count of 0 is never stored: the temporary file is removed and any previous file
// stays as it was.
void finishDatabaseFile(uint32_t recordCount);

// Ends a write that is not to be stored: closes and removes the temporary file; databasePath stays as
// it was. Nothing is written after it until the next openDatabaseForWrite.
void discardDatabaseFile();

// Room for the path of a file kept beside the database file, suffix and temporary ".tmp" included.
constexpr int kCompanionPathSize = kPathBufferSize + 32;

// The path of a file kept beside the database file: databasePath with `suffix` appended.
void databaseCompanionPath(char* path, size_t size, const char* suffix);

// Stores `size` bytes as the file `path` the way the database file is stored: under path + ".tmp",
// flushed, then renamed over `path`. Returns 1; 0 after a level-2 line (the database file's own
// messages: "The database is not stored"), with the temporary file removed and `path` as it was.
int storeCompanionFile(const char* path, const void* bytes, uint32_t size);

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
// block that the caller owns (given back by releaseDatabaseRecords, if ever), with their count, or null with the fault. With `againstLibrary` 0
// the layer list is not read: the digests are skipped unseen and the file need only be as long as some
// number of layers makes it. Always closes the handle.
Airport* readDatabase(int againstLibrary, uint32_t& count, DatabaseFault& fault);

// Frees a block of readDatabase with its count of records (nothing for null).
void releaseDatabaseRecords(Airport* records, uint32_t count);

// The indexing half: logs each record's dump at level 5 and adds it to the spatial index.
void indexAirports(Airport* records, uint32_t count);

// Reads the digests behind the header word and compares them with the current layer list's. Returns 1
// when all are equal, else 0.
int checkDigests();
