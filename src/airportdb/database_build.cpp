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

uint32_t loadOrBuildDatabase() {
    if (!readSceneryLibrary()) {
        releaseSceneryLibrary();
        return 0;
    }
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
    const uint32_t built = buildDatabase();
    releaseSceneryLibrary();
    if (built == 0) {
        logMessage(0, "No airports in database!");
        return 0;
    }
    logMessage(4, "Successfully imported %i airport infos from scenery.", static_cast<int>(built));
    return built;
}
