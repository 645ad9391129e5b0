#include "core/run.h"

#include <cstdio>
#include <new>

#include "airportdb/database_build.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "core/main_loop.h"
#include "platform/platform.h"

namespace {

void buildPaths() {
    std::snprintf(core.databasePath, sizeof core.databasePath, ".\\%s", "kestrel.dat");
    std::snprintf(core.settingsPath, sizeof core.settingsPath, ".\\%s", "kestrel.ini");
}

int stop() {
    logMessage(4, "Main loop finished");
    return 0;
}

}  // namespace

int consoleCtrlHandler(uint32_t /*ctrlType*/) {
    core.stopRequested.set();
    platformSleep(50);  // gives the main loop a cycle to see the flag before the system goes on
    return 1;
}

int runApplication() {
    core.config = configDefaults();

    buildPaths();
    configLoad(core.config, core.settingsPath);

    // basedir comes from the simulator link; the scenery paths are taken relative to it.
    const uint32_t airports = loadOrBuildDatabase();
    if (airports == 0) return 1;  // loadOrBuildDatabase has said why
    // Every airport stands twice in the spatial index, so a search can report it twice.
    core.candidates = new (std::nothrow) Airport*[2 * static_cast<size_t>(airports)];
    if (!core.candidates) {
        logMessage(0, "Out of memory for the tower search's list of %u airports", airports);
        logMessage(0, "An error occurred while initializing kestrel.\r\n");
        return 1;
    }

    platformAddConsoleCtrlHandler(consoleCtrlHandler);
    if (core.stopRequested.isSet()) return stop();

    MainLoopSteps steps{};
    steps.sleep = platformSleep;
    runMainLoop(steps);
    return stop();
}
