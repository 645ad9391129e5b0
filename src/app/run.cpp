#include "app/run.h"

#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "app/main_loop.h"
#include "app/sim_wait.h"
#include "app/startup_marks.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/kestrel_folder.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"
#include "tower/tower_placement.h"
#include "tower/tower_search.h"

namespace {

constexpr const char* kInitFailed = "An error occurred while initializing kestrel.\r\n";

}  // namespace

void buildPaths() {
    kestrelFilePath(kDatabaseFileName, core.databasePath, sizeof core.databasePath);
    kestrelFilePath(kSettingsFileName, core.settingsPath, sizeof core.settingsPath);
}

void logInitFailed() {
    logMessage(0, "%s", kInitFailed);
}

namespace {

// The folder text of the attempt that was answered.
char reportedFolder[fsuipc::kSimFolderSize];

// One attempt of the wait: the link opened (one already open is no failure) and the simulator's folder
// asked over it. An interface that does not know its simulator yet answers with an empty text.
SimAttempt attemptSimulator() {
    if (!ipcOpen(0, &ipcResult) && ipcResult > kIpcAlreadyOpen)
        return {openFailureMeaning(ipcResult, ipcLink.fsuipcVersion, ipcLink.fsVersion), ipcResult};
    if (askSimFolder(reportedFolder) && reportedFolder[0] != '\0') return {SimAnswer::answered, kIpcOk};
    ipcClose();  // the next attempt opens it again
    return {SimAnswer::notYet, kSimFolderNotReported};
}

int stop() {
    ipcClose();
    logMessage(4, "Main loop finished");
    ipcShutdown();  // also deletes the atom the close kept for a next open
    platformConsoleStopDone();
    return 0;
}

// A failed start leaves nothing behind: no open link, no atom (in the session's table until logoff on
// Windows), no shared-memory object (in /dev/shm until reboot on POSIX). A step that failed because a
// stop was requested meanwhile is no failure: the stop path ends the run, with exit code 0.
int failStart() {
    if (core.stopRequested.isSet()) return stop();
    ipcShutdown();
    return 1;
}

// Lets an exchange with a simulator that does not answer give up at a stop request.
int stopIsRequested() {
    return core.stopRequested.isSet() ? 1 : 0;
}

// The main loop's poll and tower placement, marking the first of each.
bool firstPollMarked = false;
bool firstPlaceMarked = false;

int pollMarkingTheFirst() {
    const int fresh = simPoll();
    if (!firstPollMarked) startupMark("first poll done");
    firstPollMarked = true;
    return fresh;
}

int placeMarkingTheFirst(int placement) {
    const int placed = placeTower(placement);
    if (placed && !firstPlaceMarked) {
        startupMark("first tower write");
        firstPlaceMarked = true;
    }
    return placed;
}

}  // namespace

int consoleCtrlHandler(uint32_t /*ctrlType*/) {
    core.stopRequested.set();
    platformSleep(50);  // gives the main loop a cycle to see the flag before the system goes on
    return 1;
}

int runApplication() {
    core.config = configDefaults();
    const uint32_t consoleReadyMs = startupElapsedMs();
    firstPollMarked = firstPlaceMarked = false;
    // First of all: a Ctrl+C or a console close at any point of the start-up, the wait for the simulator
    // or the database build ends the run in order (link shut, atom deleted, temporary file removed),
    // never by the system's default.
    platformAddConsoleCtrlHandler(consoleCtrlHandler);
    ipcSetStopCheck(stopIsRequested);
    // Before the simulator is asked: its LogLevel applies while kestrel waits for it.
    buildPaths();
    configLoad(core.config, core.settingsPath);
    startupMarkAt("console and instance lock ready", consoleReadyMs);
    startupMark("settings read");

    switch (waitForSimulator(
        SimWaitSteps{attemptSimulator, platformSetConsoleTitle, platformSleep, platformTickCount})) {
        case SimWaitEnd::answered:
            break;
        case SimWaitEnd::stopped:
            return stop();
        case SimWaitEnd::refused:
            logMessage(0, "%s", kInitFailed);
            return failStart();  // even a failed open keeps its atom back
    }
    startupMark("simulator link open");

    if (!determineBaseDir(reportedFolder)) {
        if (!core.stopRequested.isSet()) logMessage(0, "%s", kInitFailed);
        return failStart();
    }
    startupMark("FS9 folder checked");

    if (core.stopRequested.isSet()) return stop();
    const uint32_t airports = loadOrBuildDatabase();
    if (airports == 0) {
        // loadOrBuildDatabase has said why, unless a stop cut the build short.
        if (!core.stopRequested.isSet()) logMessage(0, "%s", kInitFailed);
        return failStart();
    }
    startupMark("airport database ready");
    // At the default level a good start would say nothing at all: this line says that it works.
    if (databaseFile.source == DatabaseSource::file)
        logMessage(3, "Ready: %u airports loaded from %s, FS9 folder %s", airports, core.databasePath,
                   basedir);
    else
        logMessage(3, "Ready: %u airports read from the scenery, FS9 folder %s", airports, basedir);
    if (!allocateCandidates(airports)) {
        logMessage(0, "Out of memory for the tower search's list of %u airports", airports);
        logMessage(0, "%s", kInitFailed);
        return failStart();
    }

    if (core.stopRequested.isSet()) return stop();

    runMainLoop(MainLoopSteps{pollMarkingTheFirst, towerSearch, placeMarkingTheFirst, simTowerViewLost,
                              simLinkLost, platformSetConsoleTitle, platformSleep, platformTickCount});
    return stop();
}
