// --build: the database build of a start, for the folder given on the command line instead of the one the
// simulator reports, with the start's log, progress display and stop; then the program ends.
#include <string>

#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "core/core_state.h"
#include "app/offline_database.h"
#include "app/offline_request.h"
#include "app/offline_table.h"
#include "app/run.h"
#include "core/log_file.h"
#include "core/run_log.h"
#include "platform/platform.h"

namespace {

// A stop before kestrel.dat and its stamps were in place: the build removed what it had written.
int stopped(std::string& reason) {
    char database[kPathBufferSize];
    platformFullPath(core.databasePath, database, sizeof database);
    reason = std::string("the build was stopped; ") + database + " was left as it was";
    return kOfflineFailed;
}

}  // namespace

int buildOffline(const OfflineRequest& request, std::string& out, std::string& reason) {
    // As a start does: a Ctrl+C or a closed window ends the build in order, never by the system's default
    // action, which would leave the temporary files behind.
    platformAddConsoleCtrlHandler(consoleCtrlHandler);
    openKestrelLog();  // a build writes the log of a start
    if (int code = prepareOfflineSettings(request, reason)) return code;
    if (!useOfflineSimFolder(request.fsDir)) {
        if (core.stopRequested.isSet()) return stopped(reason);
        logInitFailed();
        return kOfflineFailed;
    }
    // Always built, even over a file that would still load: a changed BGL file leaves the digests alone.
    const uint32_t airports = rebuildDatabase();
    // A stop once the files are in place comes after a finished build.
    if (!databaseFile.stored && core.stopRequested.isSet()) return stopped(reason);
    if (airports == 0) return kOfflineFailed;  // the build has said why
    if (!databaseFile.stored) {
        reason = std::string("the airports were found, but ") + core.databasePath + " was not written";
        return kOfflineFailed;
    }
    // The answer the option was asked for, whatever the log level.
    appendLine(out, kImportedFormat, static_cast<int>(airports));
    return kOfflineDone;
}
