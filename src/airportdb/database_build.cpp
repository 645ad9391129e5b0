#include "airportdb/database_build.h"

#include "airportdb/airport_table.h"
#include "airportdb/database_file.h"
#include "airportdb/database_stamps.h"
#include "airportdb/runway_lists.h"
#include "airportdb/tower_synthesis.h"
#include "airportdb/unread_note.h"
#include "core/core_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "scenery/bgl_walker.h"
#include "scenery/import_record.h"
#include "scenery/scenery_library.h"
#include "tower/spatial_index.h"

namespace {

// Whether the build that has just imported `airports` is stored, said as the pilot needs to hear it.
int decideStore(StorePolicy policy, uint32_t airports) {
    if (!importRecord.complete) {
        // Stored, the airports and runways dropped would stay missing at every start.
        logMessage(0,
                   "Memory ran out while the scenery was read, so the database is not stored; the next start "
                   "reads it again.");
        return 0;
    }
    if (airports == 0) {
        logMessage(0, "The scenery library holds no airport, so the database file %s is left as it was.",
                   core.databasePath);
        return 0;
    }
    const uint32_t unread = importRecord.unreadCount;
    if (unread == 0) return 1;
    const Digest paths = unreadFilesDigest();
    if (policy == StorePolicy::always ||
        (policy == StorePolicy::knownFailures && unreadNoteMatches(unread, paths))) {
        // Files that fail twice in a row fail for good (no permission, say): stored, or every start
        // would build again.
        logMessage(2,
                   "%u of the scenery files could not be read again. The database is stored without their "
                   "airports, which come back when those files change.",
                   unread);
        return 1;
    }
    if (policy == StorePolicy::knownFailures) {
        writeUnreadNote(unread, paths);
        logMessage(3,
                   "%u of the scenery files could not be read (see above), so the database is not stored: "
                   "their airports are missing on this flight, and the next start reads them again.",
                   unread);
    }
    return 0;
}

// Puts kestrel.dat in place, then its stamps.
void storeDatabase(uint32_t airports) {
    finishDatabaseFile(airports);
    if (!databaseFile.stored) return;
    if (!writeDatabaseStamps(kDatabaseHeaderWord | airports)) {
        databaseFile.stored = 0;  // the file in place never loads without them
        return;
    }
    removeUnreadNote();
}

// What a stopped build leaves: nothing on disk, the previous files as they were.
uint32_t abandonBuild() {
    discardDatabaseFile();
    releaseAirportTable();
    releaseRunwayLists();
    releaseImportRecord();
    progressFinish();
    return 0;
}

}  // namespace

uint32_t buildDatabase(StorePolicy policy) {
    uint32_t count = 0;
    const int storing = !isDebugAirportSet();
    databaseFile.stored = 0;
    databaseFile.unreadFiles = 0;
    startImportRecord();
    if (storing) openDatabaseForWrite();

    const uint32_t layers = layerList.layerCount > 0 ? static_cast<uint32_t>(layerList.layerCount) : 0;
    progressOpen();
    progressStart(layers);
    // The list runs from the highest layer to the lowest; higher layers are imported last and win.
    for (uint32_t i = layers; i-- > 0 && !core.stopRequested.isSet();) {
        importRecord.layer = i;
        count += importLayerIndex(layerList.layerPaths[i]);
        if (!core.stopRequested.isSet()) progressLayerDone();  // else it was left halfway
    }
    // The decoder queues its airports for the tree; a stopped build's live on in it like every airport.
    spatialIndexFlush();
    if (core.stopRequested.isSet()) return abandonBuild();
    databaseFile.unreadFiles = importRecord.unreadCount;
    // Not to be stored: the writes below then go nowhere, and the airports are still this run's.
    if (storing && !decideStore(policy, count)) discardDatabaseFile();

    // airportAt gives null past the live entries: a table released by an earlier build keeps its count
    // until the next insertion.
    const uint32_t airports = airportCount();
    for (uint32_t i = 0; i < airports; ++i) {
        Airport* a = airportAt(i);
        if (!a) break;
        finaliseRunways(a);
        writeDatabaseRecord(a);
        traceAirport(nullptr, a);
    }
    releaseAirportTable();
    releaseRunwayLists();
    storeDatabase(count);
    releaseImportRecord();
    progressFinish();
    return count;
}

namespace {

int readLibrary() {
    if (readSceneryLibrary()) return 1;
    releaseSceneryLibrary();
    return 0;
}

// The end of a build, with the library read: 0 after "No airports in database!", or silently when a
// stop abandoned it. (A stop during the final display comes after a complete build: its airports are
// there, and the run sequence sees the stop next.)
uint32_t endBuild(uint32_t built) {
    releaseSceneryLibrary();
    if (built == 0 && core.stopRequested.isSet()) return 0;
    if (built == 0) logMessage(0, "No airports in database!");
    databaseFile.source = built ? DatabaseSource::scenery : DatabaseSource::none;
    return built;
}

// The database file when it still describes the library: its digests (the load's checks), then the
// stamps of the airport files beside it. The number of airports, or 0 (said why) for a build.
uint32_t loadCachedDatabase() {
    databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
    if (databaseFile.databaseHandle == kInvalidHandle) return 0;
    uint32_t count = 0;
    DatabaseFault fault = DatabaseFault::none;
    Airport* records = readDatabase(1, count, fault);
    if (!records) return 0;
    if (!checkDatabaseStamps(count, nullptr, 0)) {
        releaseDatabaseRecords(records, count);
        return 0;
    }
    // The block holds the loaded records for the rest of the run.
    indexAirports(records, count);
    return count;
}

}  // namespace

uint32_t loadOrBuildDatabase() {
    databaseFile.source = DatabaseSource::none;
    if (!readLibrary()) return 0;
    if (!isDebugAirportSet()) {
        const uint32_t loaded = loadCachedDatabase();
        if (loaded != 0) {
            logMessage(4, "Successfully loaded %i airport infos from database.", static_cast<int>(loaded));
            releaseSceneryLibrary();
            databaseFile.source = DatabaseSource::file;
            return loaded;
        }
    }
    const uint32_t built = endBuild(buildDatabase(StorePolicy::knownFailures));
    if (built != 0) logMessage(4, kImportedFormat, static_cast<int>(built));
    return built;
}

uint32_t rebuildDatabase() {
    databaseFile.source = DatabaseSource::none;
    if (!readLibrary()) return 0;
    uint32_t built = buildDatabase(StorePolicy::complete);
    if (built != 0 && databaseFile.unreadFiles != 0 && !core.stopRequested.isSet()) {
        // An explicit build: a file held open a moment ago may be free now, and one that is not is
        // not waited for.
        logMessage(3,
                   "%u of the scenery files could not be read (see above). Reading the scenery library once "
                   "more.",
                   databaseFile.unreadFiles);
        releaseSpatialIndex();  // the first build's airports, which live on unused like every airport
        built = buildDatabase(StorePolicy::always);
    }
    return endBuild(built);
}
