#include "airportdb/airport_dump.h"

#include "core/log.h"
#include "tower/conversions.h"

void dumpAirport(const Airport* a, int32_t level) {
    if (!a) {
        logMessage(level, "airport == NULL");
        return;
    }
    if (level > currentLogLevel()) return;  // spares the conversions when the line is not printed

    const AirportText text = airportText(a);
    double com[kTowerComSlots];
    for (int i = 0; i < kTowerComSlots; ++i)
        com[i] = comFrequencyMHz(a->towerCom[i]);
    logMessage(
        level,
        "%s\t%s: AP @(%f, %f, %f), %d rwys (%s); TWR @(%f, %f, %f) COM @ {%.3f %.3f %.3f %.3f %.3f %.3f "
        "%.3f %.3f} dst %f nm",
        text.ident, text.name, rawLatToDegrees(a->apLat), rawLonToDegrees(a->apLon),
        millimetresToMetres(a->apAlt), static_cast<int>(a->runwayCount), airportSlotBits(a) != 0 ? "F" : "nf",
        rawLatToDegrees(a->twrLat), rawLonToDegrees(a->twrLon), millimetresToMetres(a->twrAlt), com[0],
        com[1], com[2], com[3], com[4], com[5], com[6], com[7], static_cast<double>(a->distanceNm));
}
