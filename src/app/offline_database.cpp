#include "app/offline_database.h"

#include <charconv>
#include <cstring>

#include "airportdb/airport.h"
#include "airportdb/database_file.h"
#include "airportdb/database_stamps.h"
#include "app/run.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "scenery/scenery_library.h"
#include "simlink/base_dir.h"
#include "tower/conversions.h"

namespace {

std::string faultText(DatabaseFault fault, const OfflineRequest& request) {
    const std::string file = core.databasePath;
    const std::string library = request.fsDir ? request.fsDir : "";
    switch (fault) {
        case DatabaseFault::none:
        case DatabaseFault::unreadable:
            break;
        case DatabaseFault::noRecords:
            return file + " holds no airports (an empty or unfinished build)";
        case DatabaseFault::olderVersion:
            return file + " comes from a previous version of kestrel and has to be rebuilt";
        case DatabaseFault::newerVersion:
            return file + " comes from a newer version of kestrel";
        case DatabaseFault::changedScenery:
            return file + " is stale: the scenery library of " + library + " has changed since it was built";
        case DatabaseFault::wrongLength:
            return request.fsDir ? file + " does not fit the scenery library of " + library + " (stale or damaged)"
                                 : file + " is damaged: its length does not fit its airports";
        case DatabaseFault::noMemory:
            return "not enough memory for the airports of " + file;
    }
    return file + " cannot be read";
}

}  // namespace

int prepareOfflineSettings(const OfflineRequest& request, std::string& reason) {
    core.config = configDefaults();
    buildPaths();
    if (request.database) {
        if (std::strlen(request.database) >= sizeof core.databasePath) {
            reason = "the database path is too long";
            return kOfflineFailed;
        }
        std::strcpy(core.databasePath, request.database);
    }
    configLoad(core.config, core.settingsPath);
    return kOfflineDone;
}

int useOfflineSimFolder(const char* folder) {
    return useBaseDir(folder, std::strlen(folder) + 1, "Simulator folder from the command line: ");
}

int openOfflineDatabase(const OfflineRequest& request, Airport*& records, uint32_t& count, std::string& reason) {
    records = nullptr;
    count = 0;
    if (int code = prepareOfflineSettings(request, reason)) return code;
    const int againstLibrary = request.fsDir ? 1 : 0;
    if (againstLibrary) {
        if (!useOfflineSimFolder(request.fsDir)) {
            reason = std::string("the simulator folder ") + request.fsDir + " cannot be used";
            return kOfflineFailed;
        }
        if (!readSceneryLibrary()) {
            releaseSceneryLibrary();
            reason = std::string("the scenery library of ") + request.fsDir + " cannot be read";
            return kOfflineFailed;
        }
    }
    databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
    if (databaseFile.databaseHandle == kInvalidHandle) {
        char* error = lastErrorText();
        reason = std::string("cannot open ") + core.databasePath + ": " + error;
        releaseErrorText(error);
        releaseSceneryLibrary();
        return kOfflineFailed;
    }
    DatabaseFault fault = DatabaseFault::none;
    records = readDatabase(againstLibrary, count, fault);
    // A start would not load a file whose airport files changed since: stale as well.
    char why[kCompanionPathSize + 64] = "";
    const int fresh = !records || !againstLibrary || checkDatabaseStamps(count, why, sizeof why);
    releaseSceneryLibrary();
    if (records && fresh) return kOfflineDone;
    if (records) {
        releaseDatabaseRecords(records, count);
        records = nullptr;
        count = 0;
        reason = std::string(core.databasePath) + " is stale: " + why;
        return kOfflineFailed;
    }
    reason = faultText(fault, request);
    return kOfflineFailed;
}

std::string towerFrequencyText(const Airport* a) {
    std::string text;
    char mhz[32];
    for (int i = 0; i < kTowerComSlots && a->towerCom[i] != 0; ++i) {
        // As "%.3f" prints it: the same exact rounding, without printf's cost over a world library.
        const std::to_chars_result r = std::to_chars(mhz, mhz + sizeof mhz,
                                                     static_cast<double>(comFrequencyMHz(a->towerCom[i])),
                                                     std::chars_format::fixed, 3);
        if (!text.empty()) text += ' ';
        text.append(mhz, r.ptr);
    }
    return text;
}
