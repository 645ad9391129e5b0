// --build: the database build of a start, for the folder given on the command line instead of the one the
// simulator reports, with the start's log and progress display; then the program ends.
#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "core/core_state.h"
#include "core/kestrel_folder.h"
#include "app/offline_database.h"
#include "app/offline_request.h"
#include "app/offline_table.h"
#include "app/run.h"
#include "core/log_file.h"

int buildOffline(const OfflineRequest& request, std::string& out, std::string& reason) {
    char logPath[kPathBufferSize];
    kestrelFilePath(kLogFileName, logPath, sizeof logPath);
    openLogFile(logPath);  // a build writes the log of a start
    logKestrelFolderNote();
    if (int code = prepareOfflineSettings(request, reason)) return code;
    if (!useOfflineSimFolder(request.fsDir)) {
        logInitFailed();
        return kOfflineFailed;
    }
    // Always built, even over a file that would still load: a changed BGL file leaves the digests alone.
    const uint32_t airports = rebuildDatabase();
    if (airports == 0) return kOfflineFailed;  // the build has said why
    if (!databaseFile.stored) {
        reason = std::string("the airports were found, but ") + core.databasePath + " was not written";
        return kOfflineFailed;
    }
    // The answer the option was asked for, whatever the log level.
    appendLine(out, kImportedFormat, static_cast<int>(airports));
    return kOfflineDone;
}
