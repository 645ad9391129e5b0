#include "airportdb/tower_synthesis.h"

#include <cmath>
#include <cstdio>

#include "airportdb/runway_lists.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "tower/conversions.h"

namespace {

constexpr double kCoincidenceDegrees = 0.0002;
constexpr double kMetresPerNm = 1852.01;
constexpr double kNmPerDegree = 60.0;

// Truncation toward zero to 32 bits. Out-of-range and NaN values give INT32_MIN, as the processor's
// own conversion does, instead of undefined behaviour: runway lengths and headings come from files.
int32_t truncToInt32(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// The fix applies to an airport with one runway whose packed value is set and usable.
bool simpleFixApplies(const Airport* a) {
    return a->runwayCount == 1 && a->singleRunway != 0.0f && std::isfinite(a->singleRunway);
}

}  // namespace

float singleRunwayValue(const Airport* a, const RunwayNode* r) {
    float refLon = static_cast<float>(rawLonToDegrees(a->twrLon));
    if (refLon == 0.0f) refLon = static_cast<float>(rawLonToDegrees(a->apLon));
    float refLat = static_cast<float>(rawLatToDegrees(a->twrLat));
    if (refLat == 0.0f) refLat = static_cast<float>(rawLatToDegrees(a->apLat));

    const double runwayLon = rawLonToDegrees(r->lon);
    const double runwayLat = rawLatToDegrees(r->lat);
    const float dLon = static_cast<float>(std::fabs(runwayLon - refLon));
    const float dLat = static_cast<float>(std::fabs(runwayLat - refLat));
    if (!(dLon < kCoincidenceDegrees && dLat < kCoincidenceDegrees)) return 0.0f;

    logMessage(5, "lat/lon differences for tower within threshold for single runway center at %s",
               airportText(a).ident);
    // 32-bit integer arithmetic for the length part; wrapping keeps absurd lengths defined.
    const int32_t tenths = static_cast<int32_t>(static_cast<uint32_t>(truncToInt32(r->lengthM)) * 10u);
    const float value = static_cast<float>(tenths + truncToInt32(r->heading) * kPi / 180.0);
    logMessage(5, "Single Rwy Info: (%f,%f), len %f m, hdg %f -> combined %f", runwayLat, runwayLon,
               r->lengthM, r->heading, value);
    return value;
}

void finaliseRunways(Airport* a) {
    float value = 0.0f;
    const RunwayNode* head = runwayListHead(a);
    if (head && !head->next) value = singleRunwayValue(a, head);
    const uint32_t n = releaseRunwayList(a);
    a->runwayCount = static_cast<uint8_t>(n);
    a->singleRunway = value;
}

void applySimpleFix(double& lon, double& lat) {
    const Airport* a = core.currentAirport;
    const Config* c = core.config;
    if (!a || !c || !std::isfinite(a->singleRunway)) return;

    const double packed = a->singleRunway;
    const int32_t length = truncToInt32(packed) / 10;
    const double rwyHdg = packed - 10.0 * length;
    double twrHdg = rwyHdg + c->simpleFixHeading * kPi / 180.0;
    if (twrHdg >= kTwoPi) twrHdg -= kTwoPi;
    const double distance = c->simpleFixDistance < 0
                                ? -static_cast<double>(c->simpleFixDistance)
                                : c->simpleFixDistance * static_cast<double>(length) / 100.0;
    logMessage(5, "rwyLength: %f, rwyHdg: %f, twrHdg: %f, distance: %f", static_cast<double>(length), rwyHdg,
               twrHdg, distance);

    const double metersLat = distance * std::cos(twrHdg);
    const double metersLon = distance * std::sin(twrHdg);
    double nmLat = metersLat / kMetresPerNm;
    double nmLon = metersLon / kMetresPerNm;
    logMessage(5, "metersLat: %f, metersLon: %f => nmLat %f, nmLon %f", metersLat, metersLon, nmLat, nmLon);

    // Both offsets shrink with the cosine of the whole-degree latitude, the latitude offset included.
    const double factor = std::cos(std::trunc(lat) * kPi / 180.0);
    nmLat *= factor;
    nmLon *= factor;
    logMessage(5, "lat %f lon %f, adjusted nmLat %f, nmLon %f", lat, lon, nmLat, nmLon);

    lat += nmLat / kNmPerDegree;
    lon += nmLon / kNmPerDegree;
    if (lon < -180.0)
        lon += 360.0;
    else if (lon > 180.0)
        lon -= 360.0;
}

uint32_t towerPosition(double& lon, double& lat) {
    const Airport* a = core.currentAirport;
    if (!a) {
        lon = 0.0;
        lat = 0.0;
        return 0;
    }
    uint32_t flags;
    lat = rawLatToDegrees(a->twrLat);
    if (lat == 0.0) {
        lat = rawLatToDegrees(a->apLat);
        flags = SourceLatAirport;
    } else {
        flags = SourceLatTower;
    }
    lon = rawLonToDegrees(a->twrLon);
    if (lon == 0.0) {
        lon = rawLonToDegrees(a->apLon);
        flags |= SourceLonAirport;
    } else {
        flags |= SourceLonTower;
    }
    if (simpleFixApplies(a)) {
        flags |= SourceSimpleFix;
        applySimpleFix(lon, lat);
    }
    return flags;
}

void traceAirport(const char* path, Airport* a) {
    if (!a) return;
    const AirportText text = airportText(a);
    if (!isDebugAirport(text.ident)) return;

    if (path)
        logMessage(0, "\r\n%s after processing %s", text.ident, path);
    else
        logMessage(0, "\r\nFINAL RESULT FOR %s (%s)", text.ident, text.name);
    for (int i = 0; i < kTowerComSlots && a->towerCom[i] != 0; ++i)
        logMessage(0, "\tTower frequency: %.3f", comFrequencyMHz(a->towerCom[i]));
    logMessage(0, "\tNumber of runways: %d",
               path ? static_cast<int>(runwayListLength(a)) : static_cast<int>(a->runwayCount));
    logMessage(0, "\tAirport location (lat,lon,alt): (%f, %f, %f)", rawLatToDegrees(a->apLat),
               rawLonToDegrees(a->apLon), millimetresToMetres(a->apAlt));
    if (path) {
        logMessage(0, "\t  Tower location (lat,lon,alt): (%f, %f, %f)", rawLatToDegrees(a->twrLat),
                   rawLonToDegrees(a->twrLon), millimetresToMetres(a->twrAlt));
        return;
    }

    core.currentAirport = a;
    double lon = 0.0;
    double lat = 0.0;
    const uint32_t flags = towerPosition(lon, lat);
    const double altitude = towerAltitude();
    logMessage(0, "\t  Tower location (lat,lon,alt): (%f, %f, %f)", lat, lon, altitude);
    char source[64];
    if (millimetresToMetres(a->twrAlt) == 0.0) {
        std::snprintf(source, sizeof source, "calculated using TowerHeight%dRw", towerHeightSetting(a));
    } else {
        std::snprintf(source, sizeof source, "taken from AFCAD");
    }
    logMessage(0, "\tTower altitude: %s", source);
    logTowerSource(0, flags);
}
