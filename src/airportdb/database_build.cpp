#include "airportdb/database_build.h"

#include "airportdb/airport_table.h"
#include "airportdb/database_file.h"
#include "airportdb/runway_lists.h"
#include "airportdb/tower_synthesis.h"
#include "core/core_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "scenery/bgl_walker.h"
#include "scenery/scenery_library.h"

uint32_t buildDatabase() {
    uint32_t count = 0;
    if (!isDebugAirportSet()) openDatabaseForWrite();

    const uint32_t layers = layerList.layerCount > 0 ? static_cast<uint32_t>(layerList.layerCount) : 0;
    progressOpen();
    progressStart(layers);
    // The list runs from the highest layer to the lowest; higher layers are imported last and win.
    for (uint32_t i = layers; i-- > 0;) {
        count += importLayerIndex(layerList.layerPaths[i]);
        progressLayerDone();
    }

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
    finishDatabaseFile(count);
    progressFinish();
    return count;
}

namespace {

int readLibrary() {
    if (readSceneryLibrary()) return 1;
    releaseSceneryLibrary();
    return 0;
}

// The build and its end, with the library read: 0 after "No airports in database!".
uint32_t buildFromLibrary() {
    const uint32_t built = buildDatabase();
    releaseSceneryLibrary();
    if (built == 0) logMessage(0, "No airports in database!");
    return built;
}

}  // namespace

uint32_t loadOrBuildDatabase() {
    if (!readLibrary()) return 0;
    if (!isDebugAirportSet()) {
        databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
        if (databaseFile.databaseHandle != kInvalidHandle) {
            const uint32_t loaded = loadDatabase();
            if (loaded != 0) {
                logMessage(4, "Successfully loaded %i airport infos from database.",
                           static_cast<int>(loaded));
                releaseSceneryLibrary();
                return loaded;
            }
        }
    }
    const uint32_t built = buildFromLibrary();
    if (built != 0) logMessage(4, kImportedFormat, static_cast<int>(built));
    return built;
}

uint32_t rebuildDatabase() {
    return readLibrary() ? buildFromLibrary() : 0;
}
