#include "app/main_loop.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "airportdb/airport.h"
#include "core/config.h"
#include "core/core_state.h"
#include "kestrel_version.h"
#include "tower/tower_placement.h"

namespace {

constexpr uint32_t kCycleMilliseconds = 10;
constexpr int32_t kSearchFactor = 2;
constexpr const char* kTitle = "kestrel " KESTREL_VERSION;

}  // namespace

Airport* mainLoopTowerSearch(Airport* (*search)(int32_t factor, int32_t minCandidates)) {
    return search(kSearchFactor, core.config->towerMinCandidates);
}

void formatConsoleTitle(const Airport* placed, int waiting, char (&title)[kTitleSize]) {
    int length = std::snprintf(title, sizeof title, "%s", kTitle);
    if (placed) {
        // Printable ASCII only: the identifier comes from scenery files, and a POSIX terminal takes the
        // title inside an escape sequence that a control character would end.
        AirportText text = airportText(placed);
        for (char* c = text.ident; *c; ++c)
            if (*c < 0x20 || *c > 0x7E) *c = '?';
        length += std::snprintf(title + length, sizeof title - length, " - %s", text.ident);
    }
    if (waiting) std::snprintf(title + length, sizeof title - length, " - waiting for the simulator");
}

namespace {

void chooseAndPlaceTower(const MainLoopSteps& steps) {
    Airport* chosen = mainLoopTowerSearch(steps.search);
    if (!chosen) return;  // no airport in reach: nothing to place, and the previous choice stands
    core.currentAirport = chosen;
    const int viewLost = steps.viewLost();
    if (chosen != core.placedAirport) {
        if (steps.place(kPlaceChanged)) core.placedAirport = chosen;
    } else if (viewLost) {
        steps.place(kPlaceRestore);  // a failure closes the link, and the next reopen asks again
    } else if (core.config->alwaysSetTower != 0) {
        steps.place(kPlaceAgain);
    }
}

void showTitle(const MainLoopSteps& steps, char (&shown)[kTitleSize]) {
    char title[kTitleSize];
    formatConsoleTitle(core.placedAirport, steps.linkLost(), title);
    if (std::strcmp(title, shown) == 0) return;
    steps.setTitle(title);
    std::memcpy(shown, title, sizeof shown);
}

}  // namespace

void runMainLoop(const MainLoopSteps& steps) {
    const uint32_t interval = core.config->updateInterval;
    uint32_t counter = interval;  // the first cycle polls at once
    // The clock as well: on Windows a 10 ms sleep lasts a 15.6 ms tick, so counting sleeps alone
    // would poll every 7.8 s instead of every 5. The counter still counts when the clock stands.
    uint32_t lastPoll = steps.ticks();
    char shown[kTitleSize];
    std::snprintf(shown, sizeof shown, "%s", kTitle);
    for (;;) {
        // Saturating, so an interval near 2^32 cannot wrap the counter and postpone the first poll.
        counter = counter > std::numeric_limits<uint32_t>::max() - kCycleMilliseconds
                      ? std::numeric_limits<uint32_t>::max()
                      : counter + kCycleMilliseconds;
        if (!(interval > counter) || !(interval > steps.ticks() - lastPoll)) {
            int fresh = steps.poll();
            counter = 0;  // a failed poll waits a full interval too
            lastPoll = steps.ticks();
            // A stop that came during the poll ends the loop before anything else talks to the
            // simulator: the system gives a closing console only a few seconds.
            if (core.stopRequested.isSet()) return;
            if (fresh) chooseAndPlaceTower(steps);
            showTitle(steps, shown);
        }
        steps.sleep(kCycleMilliseconds);
        if (core.stopRequested.isSet()) return;
    }
}
