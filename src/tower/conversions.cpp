#include "tower/conversions.h"

#include <cmath>
#include <string>

#include "airportdb/airport.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"

double millimetresToMetres(int32_t millimetres) {
    return static_cast<double>(millimetres) / 1000.0;
}

double greatCircleNmFromTrig(double sinLat1, double cosLat1, double lon1, double sinLat2, double cosLat2,
                             double lon2) {
    double cosine = sinLat1 * sinLat2 + cosLat1 * cosLat2 * std::cos(lon2 - lon1);
    // Rounding can push coincident or antipodal points just past +-1, where acos has no value; the
    // distance must stay comparable (a NaN never wins nor loses a comparison).
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    return std::acos(cosine) * kEarthRadiusNm;
}

double greatCircleNm(double lat1, double lon1, double lat2, double lon2) {
    const double phi1 = degreesToRadians(lat1);
    const double phi2 = degreesToRadians(lat2);
    return greatCircleNmFromTrig(std::sin(phi1), std::cos(phi1), degreesToRadians(lon1), std::sin(phi2),
                                 std::cos(phi2), degreesToRadians(lon2));
}

float comFrequencyMHz(uint32_t code) {
    float mhz = static_cast<float>(code + 117000u) / 1000.0f;
    return mhz == 117.0f ? 0.0f : mhz;
}

int towerHeightSetting(const Airport* a) {
    return a->runwayCount < 1 ? 1 : (a->runwayCount > 6 ? 6 : a->runwayCount);
}

double towerAltitude() {
    const Airport* a = core.currentAirport;
    if (!a) return 0.0;
    double tower = millimetresToMetres(a->twrAlt);
    if (tower != 0.0) return tower;
    uint32_t height = 0;
    if (const Config* c = core.config) {
        switch (a->runwayCount) {
            case 0:
            case 1:
                height = c->towerAlt1Rw;
                break;
            case 2:
                height = c->towerAlt2Rw;
                break;
            case 3:
                height = c->towerAlt3Rw;
                break;
            case 4:
                height = c->towerAlt4Rw;
                break;
            case 5:
                height = c->towerAlt5Rw;
                break;
            default:
                height = c->towerAlt6Rw;
                break;
        }
    }
    return millimetresToMetres(a->apAlt) + static_cast<double>(height);
}

void logTowerSource(int32_t level, uint32_t flags) {
    std::string line = "\tTower coordinates: lat from ";
    line += (flags & SourceLatAirport) ? "airport" : "tower";
    line += ", lon from ";
    line += (flags & SourceLonAirport) ? "airport" : "tower";
    if (flags & SourceSimpleFix) line += " + simple fix";
    logMessage(level, "%s", line.c_str());
}
