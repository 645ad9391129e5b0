#include "app/entry.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/core_state.h"
#include "core/kestrel_folder.h"
#include "core/log.h"
#include "core/log_file.h"
#include "core/run_log.h"
#include "app/console_end.h"
#include "app/offline_request.h"
#include "app/run.h"
#include "app/startup_marks.h"
#include "kestrel_version.h"
#include "platform/platform.h"

namespace {

constexpr const char* kTitle = "kestrel " KESTREL_VERSION;

constexpr const char* kUsage =
    "Usage: kestrel [AIRPORT]\r\n"
    "       kestrel --fs-dir DIR --build\r\n"
    "       kestrel --list [PATTERN] [--csv] [--database FILE] [--fs-dir DIR]\r\n"
    "       kestrel --at LAT LON [MHZ] [--database FILE] [--fs-dir DIR]\r\n"
    "\r\n"
    "Moves the simulator's tower view to the tower of the airport you are talking to.\r\n"
    "\r\n"
    "  AIRPORT    identifier of an airport to trace (1 to 5 letters and digits). The\r\n"
    "             airport database is then built from the scenery and not cached, and\r\n"
    "             every step that touches that airport is printed.\r\n"
    "  --help     show this text (also -h, -? and /?)\r\n"
    "  --version  show the version\r\n"
    "\r\n"
    "Without the simulator:\r\n"
    "  --build    build kestrel.dat from the scenery library of the FS9 folder DIR, as a\r\n"
    "             start does, and end; the next start loads it\r\n"
    "  --list     the airports of kestrel.dat whose identifier matches PATTERN (* and ?,\r\n"
    "             any letter case; all without one): position, elevation, the tower point\r\n"
    "             kestrel places and where it comes from, tower frequencies, runways\r\n"
    "  --csv      the list as CSV with a header row\r\n"
    "  --at       the tower kestrel would choose for an aircraft at latitude LAT and\r\n"
    "             longitude LON (decimal degrees, south and west negative) tuned to\r\n"
    "             MHZ, why, its text, and the nearest airports the search weighed\r\n"
    "             (--list and --at read kestrel.dat: start kestrel once, or --build)\r\n"
    "  --database use FILE instead of kestrel.dat\r\n"
    "  --fs-dir   the FS9 folder; with --list and --at a file that no longer matches its\r\n"
    "             scenery library is refused as stale\r\n"
    "Exit codes of these: 0 done, 1 no database, nothing found, or nothing stored\r\n"
    "(Ctrl+C during --build before kestrel.dat is in place leaves it as it was),\r\n"
    "2 wrong usage.\r\n"
    "\r\n"
    "kestrel reads kestrel.ini (section KestrelConfig) and writes kestrel.dat and\r\n"
    "kestrel.log (the run before it: kestrel.prev.log) in the folder of kestrel.exe,\r\n"
    "whatever folder it is started from (a relative DIR or FILE is taken from the\r\n"
    "working folder). Start it before or after FS9: it waits for FS9 to answer. Stop\r\n"
    "it with Ctrl+C or by closing its console window (exit code 0); a start that\r\n"
    "fails ends with 1. README.txt beside kestrel.exe is the guide.\r\n";

// The usage with the platform's line ends.
void printUsage() {
    for (const char* c = kUsage; *c; ++c) {
        if (*c == '\r') continue;
        if (*c == '\n')
            std::fputs(kPlatformLineEnd, stdout);
        else
            std::fputc(*c, stdout);
    }
}

bool isHelpRequest(const char* argument) {
    for (const char* help : {"--help", "-h", "-?", "/?"})
        if (std::strcmp(argument, help) == 0) return true;
    return false;
}

}  // namespace

int isAirportIdentifier(const char* text) {
    size_t length = 0;
    for (; text[length] != '\0'; ++length) {
        const char c = text[length];
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit || length == kAirportIdentifierMax) return 0;
    }
    return length > 0 ? 1 : 0;
}

int handleOptions(int argc, char** argv) {
    if (argc < 2) return -1;
    if (isHelpRequest(argv[1])) {
        printUsage();
        return 0;
    }
    if (argv[1][0] != '-') {
        if (isAirportIdentifier(argv[1])) return -1;
        // A dropped file, a stale shortcut argument or another program's option: tracing it would find no
        // airport and rebuild the database at every start without storing it.
        printReason(std::string("\"") + argv[1] +
                        "\" is not an airport identifier to trace (1 to 5 letters and digits)",
                    kOfflineUsage);
        return kOfflineUsage;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("kestrel " KESTREL_VERSION "\r\n", stdout);
        return 0;
    }
    return offlineMain(argc, argv);
}

void takeDebugAirport(int argc, char** argv) {
    if (argc < 2 || !isAirportIdentifier(argv[1])) return;
    std::snprintf(core.debugAirport, sizeof core.debugAirport, "%s", argv[1]);
    logMessage(0, "Debugging airport: %s", core.debugAirport);
}

namespace {

// 1 when the command line is a valid --build, which writes kestrel.dat.
int isBuildRequest(int argc, char** argv) {
    if (argc < 2 || argv[1][0] != '-') return 0;
    OfflineRequest request;
    std::string reason;
    if (parseOfflineRequest(argc, argv, request, reason) != kOfflineDone) return 0;
    return request.mode == OfflineMode::build ? 1 : 0;
}

// Takes the lock that keeps to one kestrel at a time; when another kestrel holds it, says so and
// returns 0.
int takeInstanceLock() {
    uint32_t holder = 0;
    const int lock = platformAcquireInstanceLock("kestrel", &holder);
    // Level 0 for these lines: the settings are not read yet, and no kestrel.ini can hide them.
    if (lock == kInstanceLockUnavailable) {
        // A lock that cannot be had stops nobody: kestrel ran without one before.
        char* error = lastErrorText();
        logMessage(
            0,
            "Unable to take the lock that lets only one kestrel run, error was: %s. kestrel runs without it.",
            error);
        releaseErrorText(error);
    }
    if (lock != kInstanceRunning) return 1;
    if (holder)
        logMessage(0, "kestrel is already running (process %u)", holder);
    else
        logMessage(0, "kestrel is already running");
    return 0;
}

// Everything after the console set-up; returns the exit code, and whether another kestrel refused the
// run. A start and --build write what a running kestrel uses, so they take the instance lock first,
// before anything that opens the link or touches a file; the other options only read, or end at their
// usage, and work beside a running one.
int runCommand(int argc, char** argv, bool& refused) {
    if (isBuildRequest(argc, argv)) {
        refused = !takeInstanceLock();
        return refused ? 1 : offlineMain(argc, argv);
    }
    const int exitCode = handleOptions(argc, argv);
    if (exitCode >= 0) return exitCode;
    refused = !takeInstanceLock();
    if (refused) return 1;
    openKestrelLog();  // before the run's first line
    platformSetConsoleTitle(kTitle);
    takeDebugAirport(argc, argv);
    return runApplication();
}

}  // namespace

int kestrelMain(int argc, char** argv) {
    startupMarkEntry();
    takeKestrelFolder();
    platformInitConsole();
    // Started in a window of its own, kestrel keeps that window readable and, after a failed start, open.
    const bool ownConsole = platformOwnsConsole() != 0;
    if (ownConsole) platformConsoleQuickEditOff();

    bool refused = false;
    const int exitCode = runCommand(argc, argv, refused);

    const ConsoleEnd end = ownConsole ? consoleEndFor(exitCode, refused, core.stopRequested.isSet(),
                                                      platformConsoleHidden() != 0)
                                      : ConsoleEnd::close;
    // While the window stays open, the next start (the simulator's auto-start) must find neither the
    // lock nor the log held by this one.
    platformReleaseInstanceLock();
    closeLogFile();
    // QuickEdit is back, so that the reason can be copied.
    platformRestoreConsoleMode();
    if (end == ConsoleEnd::waitForEnter)
        platformWaitForEnter();
    else if (end == ConsoleEnd::showLine)
        platformSleep(kRefusedLineMs);
    return exitCode;
}
