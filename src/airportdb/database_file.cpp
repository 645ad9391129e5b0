#include "airportdb/database_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "airportdb/airport_dump.h"
#include "core/bytes.h"
#include "core/log.h"
#include "scenery/md5.h"
#include "scenery/scenery_library.h"
#include "tower/spatial_index.h"

// Records go to and from the file as their in-memory bytes, which are the file's little-endian layout
// (airport.h pins every offset).
static_assert(std::endian::native == std::endian::little, "kestrel.dat records are stored as memory bytes");

DatabaseFile databaseFile;

namespace {

// Ends a write that failed: reports it, closes and removes the unfinished file, so that it can never
// be taken for a database later. The build goes on without a file.
void abandonWrite(const char* reason) {
    char* error = lastErrorText();
    logMessage(2, "Error while %s database file %s, error was: %s. The database is not stored.", reason,
               core.databasePath, error);
    releaseErrorText(error);
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = kInvalidHandle;
    databaseFile.pendingBytes = 0;
    platformDeleteFile(databaseFile.temporaryPath);
}

// Writes `size` bytes to the file being written; on a failed or short write abandons it and returns 0.
int writeAll(const void* bytes, uint32_t size) {
    if (databaseFile.databaseHandle == kInvalidHandle) return 0;
    uint32_t written = 0;
    if (platformWriteFile(databaseFile.databaseHandle, bytes, size, &written) && written == size) return 1;
    abandonWrite("writing");
    return 0;
}

// Writes the buffered records; 0 when that failed (the write is then abandoned).
int flushRecords() {
    const uint32_t size = databaseFile.pendingBytes;
    databaseFile.pendingBytes = 0;
    return size == 0 || writeAll(databaseFile.pending, size);
}

int writeHeaderWord(uint32_t word) {
    uint8_t bytes[4];
    putU32(bytes, word);
    return writeAll(bytes, sizeof bytes);
}

// Reads exactly `size` bytes; 0 on a failed or short read.
int readExactly(PlatformHandle file, void* buffer, uint32_t size) {
    uint32_t got = 0;
    return platformReadFile(file, buffer, size, &got) && got == size ? 1 : 0;
}

// Reads `size` bytes without looking at them.
int skipBytes(PlatformHandle file, uint64_t size) {
    uint8_t skipped[4096];
    for (; size > sizeof skipped; size -= sizeof skipped)
        if (!readExactly(file, skipped, sizeof skipped)) return 0;
    return readExactly(file, skipped, static_cast<uint32_t>(size));
}

// The loaded airports share one block that lives until the process ends. (The sanitizer suite knows it
// by this function's name.) Bulk memory: the read fills it whole, and page by page the faults of fresh
// memory would cost more than the read.
Airport* newLifetimeAirportBlock(uint32_t count) {
    static_assert(std::is_trivially_default_constructible_v<Airport> && std::is_trivially_destructible_v<Airport>,
                  "the records' bytes come straight from the file");
    return static_cast<Airport*>(platformAllocateBulk(static_cast<size_t>(count) * sizeof(Airport)));
}

Airport* readRecords(PlatformHandle file, int againstLibrary, uint32_t& countOut, DatabaseFault& fault) {
    countOut = 0;
    fault = DatabaseFault::unreadable;
    uint8_t headerBytes[4] = {};
    if (!readExactly(file, headerBytes, sizeof headerBytes)) return nullptr;
    uint32_t header = 0;
    readU32(ByteView{headerBytes, sizeof headerBytes}, 0, header);
    fault = DatabaseFault::noRecords;
    if (header == 0) return nullptr;

    const uint32_t version = header >> 24;
    if (version < kDatabaseVersion) {
        logMessage(3, "%s%s%s%s", "A datafile from a previous version of kestrel has been detected.\r\n",
                   "Because of changes in the datafile layout, it needs to be rebuilt.\r\n",
                   "If you want to take advantage of possible new options, please make\r\n",
                   "sure you're using an up-to-date configuration file.");
        fault = DatabaseFault::olderVersion;
        return nullptr;
    }
    if (version > kDatabaseVersion) {
        logMessage(2, "%s%s%s", "A datafile from a NEWER version of kestrel has been detected.\r\n",
                   "Because kestrel will not be able to work with this file, the datafile ",
                   "has to be rebuilt.\r\n");
        fault = DatabaseFault::newerVersion;
        return nullptr;
    }
    const uint32_t count = header & kDatabaseMaxRecords;
    if (count == 0) return nullptr;  // an interrupted or empty build

    uint64_t size = 0;
    const bool sized = platformFileSize(file, &size) != 0;
    const uint64_t records = static_cast<uint64_t>(kDatabaseRecordSize) * count;
    uint64_t layers = 0;
    if (againstLibrary) {
        layers = layerList.layerCount > 0 ? static_cast<uint64_t>(layerList.layerCount) : 0;
    } else {
        // Without the scenery library the layer count is unknown: the file must hold some whole number of
        // digests besides scenery.cfg's.
        const uint64_t fixed = 4 + kDatabaseDigestSize + records;
        layers = sized && size >= fixed ? (size - fixed) / kDatabaseDigestSize : 0;
    }
    const uint64_t expected = 4 + kDatabaseDigestSize * (1 + layers) + records;
    // The layer count is not stored, and the record block is used in place: only a file of exactly the
    // expected length can hold the digests and records where they are read from.
    const auto refuseLength = [&]() -> Airport* {
        logMessage(
            3,
            "The datafile %s is %llu bytes long, but %u airports and %d scenery layers take %llu bytes. "
            "It has to be rebuilt.",
            core.databasePath, static_cast<unsigned long long>(size), count, static_cast<int>(layers),
            static_cast<unsigned long long>(expected));
        fault = DatabaseFault::wrongLength;
        return nullptr;
    };
    if (againstLibrary && !checkDigests()) {
        // Digests that could not even be read belong to a file that is too short: said as for any other
        // wrong length, so that a truncated file is not rebuilt without a word.
        if (sized && size < 4 + kDatabaseDigestSize * (1 + layers)) return refuseLength();
        fault = DatabaseFault::changedScenery;
        return nullptr;
    }
    if (!sized || size != expected) return refuseLength();
    fault = DatabaseFault::unreadable;
    if (!againstLibrary && !skipBytes(file, kDatabaseDigestSize * (1 + layers))) return nullptr;

    Airport* block = newLifetimeAirportBlock(count);
    if (!block) {
        logMessage(2, "Not enough memory to load %u airports from %s. The database is rebuilt.", count,
                   core.databasePath);
        fault = DatabaseFault::noMemory;
        return nullptr;
    }
    if (!readExactly(file, block, count * kDatabaseRecordSize)) {
        char* error = lastErrorText();
        logMessage(2, "Unable to read the airports of %s, error was: %s. The database is rebuilt.",
                   core.databasePath, error);
        releaseErrorText(error);
        releaseDatabaseRecords(block, count);
        fault = DatabaseFault::unreadable;
        return nullptr;
    }
    fault = DatabaseFault::none;
    countOut = count;
    return block;
}

}  // namespace

int openDatabaseForWrite() {
    databaseFile.databaseHandle = kInvalidHandle;
    databaseFile.pendingBytes = 0;
    databaseFile.stored = 0;
    std::snprintf(databaseFile.temporaryPath, sizeof databaseFile.temporaryPath, "%s.tmp", core.databasePath);
    PlatformHandle file = platformCreateFileForWriting(databaseFile.temporaryPath);
    if (file == kInvalidHandle) {
        char* error = lastErrorText();
        logMessage(2, "Invalid file handle while opening database file %s for writing, error was: %s.",
                   databaseFile.temporaryPath, error);
        releaseErrorText(error);
        return 0;
    }
    databaseFile.databaseHandle = file;

    if (!writeHeaderWord(kDatabaseHeaderWord)) return 0;
    if (!writeAll(layerList.sceneryCfgDigest.bytes, kDatabaseDigestSize)) return 0;
    for (int32_t i = 0; i < layerList.layerCount; ++i) {
        const Digest* digest = layerList.layerDigests ? layerList.layerDigests[i] : nullptr;
        const Digest none{};
        if (!writeAll((digest ? digest : &none)->bytes, kDatabaseDigestSize)) return 0;
    }
    return 1;
}

void writeDatabaseRecord(const Airport* airport) {
    if (databaseFile.databaseHandle == kInvalidHandle) return;
    if (databaseFile.pendingBytes + kDatabaseRecordSize > sizeof databaseFile.pending && !flushRecords())
        return;
    std::memcpy(databaseFile.pending + databaseFile.pendingBytes, airport, kDatabaseRecordSize);
    databaseFile.pendingBytes += kDatabaseRecordSize;
}

void discardDatabaseFile() {
    if (databaseFile.databaseHandle == kInvalidHandle) return;
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = kInvalidHandle;
    databaseFile.pendingBytes = 0;
    platformDeleteFile(databaseFile.temporaryPath);
}

void finishDatabaseFile(uint32_t recordCount) {
    // A file without records is never loaded: it would only put an empty database over a good one.
    if (recordCount == 0) discardDatabaseFile();
    if (databaseFile.databaseHandle == kInvalidHandle || !flushRecords()) return;
    if (recordCount > kDatabaseMaxRecords) {
        // More would spill into the version byte.
        logMessage(2,
                   "%u airports are more than the %u a database file can hold. The database is not stored.",
                   recordCount, kDatabaseMaxRecords);
        platformCloseHandle(databaseFile.databaseHandle);
        databaseFile.databaseHandle = kInvalidHandle;
        platformDeleteFile(databaseFile.temporaryPath);
        return;
    }
    if (!platformRewindFile(databaseFile.databaseHandle)) {
        abandonWrite("rewinding");
        return;
    }
    if (!writeHeaderWord(kDatabaseHeaderWord | recordCount)) return;
    // On disk before the rename: after a power loss the name then holds the old file or the whole new one.
    if (!platformFlushFile(databaseFile.databaseHandle)) {
        abandonWrite("flushing");
        return;
    }
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = kInvalidHandle;
    // The platform waits a moment for another program that holds either file open; past that the
    // previous file stays as it was, and the next start rebuilds if it no longer fits the scenery.
    if (!platformReplaceFile(databaseFile.temporaryPath, core.databasePath)) {
        char* error = lastErrorText();
        logMessage(2,
                   "Unable to replace database file %s with %s, error was: %s. The database is not stored; "
                   "the previous file stays as it was.",
                   core.databasePath, databaseFile.temporaryPath, error);
        releaseErrorText(error);
        platformDeleteFile(databaseFile.temporaryPath);
        return;
    }
    databaseFile.stored = 1;
}

void databaseCompanionPath(char* path, size_t size, const char* suffix) {
    std::snprintf(path, size, "%s%s", core.databasePath, suffix);
}

int storeCompanionFile(const char* path, const void* bytes, uint32_t size) {
    char temporary[kCompanionPathSize + 8];
    std::snprintf(temporary, sizeof temporary, "%s.tmp", path);
    const PlatformHandle file = platformCreateFileForWriting(temporary);
    uint32_t written = 0;
    int ok = file != kInvalidHandle && platformWriteFile(file, bytes, size, &written) && written == size &&
             platformFlushFile(file);
    if (!ok) {
        char* error = lastErrorText();
        logMessage(2, "Error while writing database file %s, error was: %s. The database is not stored.",
                   path, error);
        releaseErrorText(error);
    }
    platformCloseHandle(file);
    if (ok && !platformReplaceFile(temporary, path)) {
        char* error = lastErrorText();
        logMessage(2,
                   "Unable to replace database file %s with %s, error was: %s. The database is not stored; "
                   "the previous file stays as it was.",
                   path, temporary, error);
        releaseErrorText(error);
        ok = 0;
    }
    if (!ok && file != kInvalidHandle) platformDeleteFile(temporary);
    return ok;
}

int checkDigests() {
    const PlatformHandle file = databaseFile.databaseHandle;
    Digest stored;
    if (!readExactly(file, stored.bytes, sizeof stored.bytes)) return 0;
    if (!digestsEqual(stored, layerList.sceneryCfgDigest)) {
        logMessage(4, "scenery.cfg has changed, requesting database rebuild");
        return 0;
    }
    logMessage(5, "scenery.cfg has not changed");
    for (int32_t i = 0; i < layerList.layerCount; ++i) {
        if (!readExactly(file, stored.bytes, sizeof stored.bytes)) return 0;
        const Digest* current = layerList.layerDigests ? layerList.layerDigests[i] : nullptr;
        if (!current || !digestsEqual(stored, *current)) {
            logMessage(4, "Layer at index %d has changed, requesting database rebuild", static_cast<int>(i));
            return 0;
        }
        logMessage(5, "layer %d has not changed", static_cast<int>(i));
    }
    return 1;
}

Airport* readDatabase(int againstLibrary, uint32_t& count, DatabaseFault& fault) {
    Airport* records = readRecords(databaseFile.databaseHandle, againstLibrary, count, fault);
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = kInvalidHandle;
    return records;
}

void releaseDatabaseRecords(Airport* records, uint32_t count) {
    platformReleaseBulk(records, static_cast<size_t>(count) * sizeof(Airport));
}

void indexAirports(Airport* records, uint32_t count) {
    if (currentLogLevel() >= 5)
        for (uint32_t i = 0; i < count; ++i)
            dumpAirport(&records[i], 5);
    spatialIndexAddAll(records, count);
}

uint32_t loadDatabase() {
    uint32_t count = 0;
    DatabaseFault fault;
    // The block holds the loaded records for the rest of the run.
    Airport* records = readDatabase(1, count, fault);
    indexAirports(records, count);
    return count;
}
