#include "core/run.h"

#include <cstdio>

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

    platformAddConsoleCtrlHandler(consoleCtrlHandler);
    if (core.stopRequested.isSet()) return stop();

    MainLoopSteps steps{};
    steps.sleep = platformSleep;
    runMainLoop(steps);
    return stop();
}
