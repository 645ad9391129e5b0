#include "core/entry.h"

#include <cstdio>
#include <cstring>

#include "core/core_state.h"
#include "core/log.h"
#include "core/run.h"
#include "kestrel_version.h"
#include "platform/platform.h"

namespace {

constexpr const char* kTitle = "kestrel " KESTREL_VERSION;

constexpr const char* kUsage =
    "Usage: kestrel [AIRPORT]\r\n"
    "\r\n"
    "Moves the simulator's tower view to the tower of the airport you are talking to.\r\n"
    "\r\n"
    "  AIRPORT    identifier of an airport to trace (at most 7 characters). The airport\r\n"
    "             database is then built from the scenery and not cached, and every step\r\n"
    "             that touches that airport is printed.\r\n"
    "  --help     show this text\r\n"
    "  --version  show the version\r\n"
    "\r\n"
    "Settings are read from kestrel.ini (section KestrelConfig) in the working folder.\r\n"
    "Stop kestrel with Ctrl+C or by closing its console window.\r\n";

}  // namespace

int handleOptions(int argc, char** argv) {
    if (argc < 2 || argv[1][0] != '-') return -1;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("kestrel " KESTREL_VERSION "\r\n", stdout);
        return 0;
    }
    std::fprintf(stderr, "kestrel: unknown option %s\r\n\r\n%s", argv[1], kUsage);
    return 2;
}

void takeDebugAirport(int argc, char** argv) {
    if (argc < 2) return;
    std::strncpy(core.debugAirport, argv[1], 7);
    core.debugAirport[7] = '\0';
    logMessage(0, "Debugging airport: %s", core.debugAirport);
}

int kestrelMain(int argc, char** argv) {
    platformInitConsole();
    int exitCode = handleOptions(argc, argv);
    if (exitCode >= 0) return exitCode;
    platformSetConsoleTitle(kTitle);
    takeDebugAirport(argc, argv);
    return runApplication();
}
