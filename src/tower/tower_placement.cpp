#include "tower/tower_placement.h"

#include <cstdio>

#include "airportdb/airport.h"
#include "airportdb/airport_dump.h"
#include "airportdb/tower_synthesis.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "simlink/sim_output.h"
#include "simlink/sim_state.h"
#include "tower/conversions.h"

void formatTowerInfo(const Airport* airport, char (&info)[kTowerInfoSize]) {
    AirportText text = airportText(airport);
    std::snprintf(info, sizeof info, "Tower @ %.6s (%.31s)", text.ident, text.name);
}

int placeTower(int placement) {
    Airport* airport = core.currentAirport;
    if (!airport) return 0;
    const int changed = placement == kPlaceChanged ? 1 : 0;

    // The tower point: tower coordinates, each falling back to the airport's when not given, moved off
    // an only runway under the tower by the simple fix.
    double lon = 0.0, lat = 0.0;
    towerPosition(lon, lat);
    double alt = towerAltitude();

    if (changed == 1) {
        logMessage(4, "Setting tower to lat %f lon %f alt %f", lat, lon, alt);
        dumpAirport(airport, 4);
    } else if (placement == kPlaceRestore) {
        logMessage(4, "Setting tower again after a reopen or a loaded flight: lat %f lon %f alt %f", lat, lon,
                   alt);
    }

    const int ipcWritten = simSetTower(lat, lon, alt, changed || placement == kPlaceRestore ? 1 : 0);

    const double currentAltitude = simState.calt;
    const long limit = core.config->maxDisplayInfoAltitude;
    if (ipcWritten != 0 && changed == 1 && currentAltitude <= static_cast<double>(limit)) {
        logMessage(5, "Displaying info because current alt %f <= %ld", currentAltitude, limit);
        char info[kTowerInfoSize];
        formatTowerInfo(airport, info);
        simShowText(info, core.config->displayDuration);
        return ipcWritten;
    }
    logMessage(
        5,
        "Not displaying info: ipcWritten (%d) != 1, or currentAltitude(%f) > maxDisplayInfoAltitude(%ld), "
        "or reallyChanged (%d) == 0",
        ipcWritten, currentAltitude, limit, changed);
    return ipcWritten;
}
