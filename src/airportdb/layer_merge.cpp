#include "airportdb/layer_merge.h"

#include "airportdb/airport_dump.h"
#include "core/log.h"
#include "tower/conversions.h"

void mergeTowerInfo(Airport* existing, const Airport* later) {
    logMessage(5, "Merging the tower info of the following two airports:");
    logMessage(5, "Existing (lower layer):");
    dumpAirport(existing, 5);
    logMessage(5, "New (higher layer):");
    dumpAirport(later, 5);

    if (later->twrLat == 0 || rawLatToDegrees(later->twrLat) == 0.0) return;

    logMessage(5, "merge overrides tower position");
    existing->twrLon = later->twrLon;
    existing->twrLat = later->twrLat;
    existing->twrAlt = later->twrAlt;
    logMessage(5, "Merged information:");
    dumpAirport(existing, 5);
}
