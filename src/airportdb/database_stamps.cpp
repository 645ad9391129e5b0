#include "airportdb/database_stamps.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "airportdb/database_file.h"
#include "core/bytes.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "scenery/bgl_walker.h"
#include "scenery/file_stamp.h"
#include "scenery/import_record.h"
#include "scenery/mapped_file.h"
#include "scenery/scenery_library.h"

namespace {

constexpr uint8_t kMagic[4] = {'K', 'S', 'T', 'P'};

void putStamp(uint8_t* at, const FileStamp& stamp) {
    putU64(at, stamp.size);
    putU64(at + 8, stamp.writeTime);
}

bool readStamp(ByteView view, size_t at, FileStamp& stamp) {
    return readU64(view, at, stamp.size) && readU64(view, at + 8, stamp.writeTime);
}

// The whole stamps file, or null when it is missing, unreadable or of a length no stamps file has.
uint8_t* readStampsFile(const char* path, size_t& size) {
    const PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) return nullptr;
    uint64_t length = 0;
    uint8_t* bytes = nullptr;
    if (platformFileSize(file, &length) && length >= kStampsHeaderSize &&
        length <= kStampsHeaderSize + static_cast<uint64_t>(kStampSize) * kStampsMaxFiles) {
        bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
        uint32_t got = 0;
        if (bytes && !(platformReadFile(file, bytes, static_cast<uint32_t>(length), &got) && got == length)) {
            std::free(bytes);
            bytes = nullptr;
        }
    }
    platformCloseHandle(file);
    size = static_cast<size_t>(length);
    return bytes;
}

// Whether the import could map the file now; nothing is said either way.
bool canBeMapped(const char* path) {
    MappedFile mapped;
    if (!mapFileQuietly(path, mapped, ViewAccess::parts)) return false;
    unmapFile(mapped);
    return true;
}

// The stored stamps met one by one by the same walk over the layer indexes that the build made.
struct Comparison {
    ByteView stamps;               // the records behind the header
    uint32_t count = 0;            // how many
    uint32_t next = 0;             // the record the next file is compared with
    uint32_t layer = 0;            // the layer being walked
    int fits = 1;                  // 0: the records are not those of this library's files
    const char* change = nullptr;  // how the first differing file differs
    char path[kPathBufferSize] = {};
};

int compareFile(void* context, uint32_t entry, const char* path) {
    Comparison& c = *static_cast<Comparison*>(context);
    if (!path) return 1;  // an entry that names no usable file: the build took no stamp either
    const size_t at = static_cast<size_t>(kStampSize) * c.next;
    uint32_t layer = 0, storedEntry = 0, flags = 0;
    FileStamp stored;
    if (c.next >= c.count || !readU32(c.stamps, at, layer) || !readU32(c.stamps, at + 4, storedEntry) ||
        !readU32(c.stamps, at + 8, flags) || !readStamp(c.stamps, at + 12, stored) || layer != c.layer ||
        storedEntry != entry || (flags & ~kStampUnread) != 0) {
        c.fits = 0;
        return 0;
    }
    ++c.next;
    const FileStamp now = fileStampOf(path);
    if (sameStamp(now, stored)) {
        // The usual cause of a file that could not be read is a program that held it and has let go
        // since, leaving it as it was: its airports come back as soon as it can be read.
        if (!(flags & kStampUnread) || !canBeMapped(path)) return 1;
        c.change = "can be read again";
    } else {
        const bool was = stored.size != kStampNoFile, is = now.size != kStampNoFile;
        c.change = !was && is ? "has been added" : was && !is ? "has been removed" : "has changed";
    }
    std::snprintf(c.path, sizeof c.path, "%s", path);
    return 0;
}

// Walks every layer from the lowest up, as the build imported them.
void compareLayers(Comparison& c) {
    for (uint32_t layer = static_cast<uint32_t>(layerList.layerCount > 0 ? layerList.layerCount : 0);
         layer-- > 0;) {
        c.layer = layer;
        MappedFile index;
        if (!mapFile(layerList.layerPaths[layer], index)) {
            c.fits = 0;  // read for its digest a moment ago: the stamps cannot be trusted now
            return;
        }
        const ByteView bytes = mappedBytes(index);
        uint32_t entries = 0;
        int holdsAirports = 0;
        int going = 1;
        if (readLayerIndexHeader(bytes, entries, holdsAirports) && holdsAirports)
            going = visitAirportFiles(bytes, entries, layerList.layerPaths[layer], 0, compareFile, &c);
        unmapFile(index);
        if (!going) return;
    }
    if (c.next != c.count) c.fits = 0;
}

}  // namespace

int writeDatabaseStamps(uint32_t headerWord) {
    char path[kCompanionPathSize];
    databaseCompanionPath(path, sizeof path, kStampsSuffix);
    if (importRecord.count > kStampsMaxFiles) {
        logMessage(2, "The scenery files could not all be noted in %s. The database is not stored.", path);
        return 0;
    }
    // Taken from the file in place: whatever its system makes of a rename, this is what a start finds.
    const FileStamp database = fileStampOf(core.databasePath);
    if (database.size == kStampNoFile) {
        char* error = lastErrorText();
        logMessage(2, "Error while writing database file %s, error was: %s. The database is not stored.",
                   path, error);
        releaseErrorText(error);
        return 0;
    }
    const uint32_t size = kStampsHeaderSize + kStampSize * importRecord.count;
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(size));
    if (!bytes) {
        logMessage(2, "The scenery files could not all be noted in %s. The database is not stored.", path);
        return 0;
    }
    std::memcpy(bytes, kMagic, sizeof kMagic);
    putU32(bytes + 4, kStampsVersion);
    putU32(bytes + 8, headerWord);
    putStamp(bytes + 12, database);
    putU32(bytes + 28, importRecord.count);
    for (uint32_t i = 0; i < importRecord.count; ++i) {
        uint8_t* at = bytes + kStampsHeaderSize + static_cast<size_t>(kStampSize) * i;
        const ImportedFile& file = importRecord.files[i];
        putU32(at, file.layer);
        putU32(at + 4, file.entry);
        putU32(at + 8, file.unread ? kStampUnread : 0);
        putStamp(at + 12, file.stamp);
    }
    const int stored = storeCompanionFile(path, bytes, size);
    std::free(bytes);
    return stored;
}

int checkDatabaseStamps(uint32_t recordCount, char* why, size_t whySize) {
    char path[kCompanionPathSize];
    databaseCompanionPath(path, sizeof path, kStampsSuffix);
    size_t size = 0;
    uint8_t* bytes = readStampsFile(path, size);
    if (!bytes) {
        logMessage(4, "The file stamps %s are missing or unreadable, requesting database rebuild", path);
        if (why) std::snprintf(why, whySize, "%s is missing or unreadable", path);
        return 0;
    }
    const ByteView view{bytes, size};
    uint32_t version = 0, headerWord = 0, count = 0;
    FileStamp database;
    Comparison c;
    c.fits = std::memcmp(bytes, kMagic, sizeof kMagic) == 0 && readU32(view, 4, version) &&
             version == kStampsVersion && readU32(view, 8, headerWord) &&
             headerWord == (kDatabaseHeaderWord | recordCount) && readStamp(view, 12, database) &&
             sameStamp(database, fileStampOf(core.databasePath)) && readU32(view, 28, count) &&
             size == kStampsHeaderSize + static_cast<uint64_t>(kStampSize) * count;
    if (c.fits) {
        c.stamps = view.sub(kStampsHeaderSize, size - kStampsHeaderSize);
        c.count = count;
        compareLayers(c);
    }
    std::free(bytes);
    if (c.change) {
        logMessage(3, "The scenery file %s %s since the airport database was built. kestrel builds it again.",
                   c.path, c.change);
        if (why) std::snprintf(why, whySize, "the scenery file %s %s since it was built", c.path, c.change);
        return 0;
    }
    if (!c.fits) {
        logMessage(4, "The file stamps %s do not belong to %s, requesting database rebuild", path,
                   core.databasePath);
        if (why) std::snprintf(why, whySize, "%s does not belong to it", path);
        return 0;
    }
    logMessage(5, "%u airport files have not changed", count);
    return 1;
}
