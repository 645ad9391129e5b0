// --list: the airports of the database file whose identifier matches a pattern, each with the tower point
// the placement would use and where that point comes from.
#include <cctype>

#include "airportdb/airport.h"
#include "airportdb/tower_synthesis.h"
#include "core/core_state.h"
#include "app/offline_database.h"
#include "app/offline_request.h"
#include "app/offline_table.h"
#include "tower/conversions.h"

namespace {

// `*` any run of characters, `?` one character, letters in either case.
bool identMatches(const char* pattern, const char* ident) {
    const char* star = nullptr;  // the last '*' seen, and where in `ident` it took over
    const char* resume = nullptr;
    while (*ident) {
        const bool same = std::toupper(static_cast<unsigned char>(*pattern)) ==
                          std::toupper(static_cast<unsigned char>(*ident));
        if (*pattern == '*') {
            star = pattern++;
            resume = ident;
        } else if (*pattern && (*pattern == '?' || same)) {
            ++pattern;
            ++ident;
        } else if (star) {
            pattern = star + 1;
            ident = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

// Where the tower point comes from: its coordinates (the scenery's tower, else the airport's reference
// point), the simple fix, and its altitude (the tower's, else the height setting for the runway count).
std::string towerSource(const Airport* a, uint32_t flags) {
    const bool latAirport = (flags & SourceLatAirport) != 0;
    const bool lonAirport = (flags & SourceLonAirport) != 0;
    std::string text = latAirport == lonAirport ? (latAirport ? "airport" : "tower")
                                                : (latAirport ? "airport lat/tower lon" : "tower lat/airport lon");
    if (flags & SourceSimpleFix) text += " + simple fix";
    if (a->twrAlt != 0) return text + ", tower altitude";
    return text + ", TowerHeight" + std::to_string(towerHeightSetting(a)) + "Rw";
}


void addAirport(TextTable& table, Airport* a) {
    // The placement's own computation, which works on the current airport.
    core.currentAirport = a;
    double lon = 0.0;
    double lat = 0.0;
    const uint32_t flags = towerPosition(lon, lat);
    const double altitude = towerAltitude();
    core.currentAirport = nullptr;

    const AirportText text = airportText(a);
    addCell(table, text.ident);
    addCell(table, text.name);
    addNumber(table, rawLatToDegrees(a->apLat), 6);
    addNumber(table, rawLonToDegrees(a->apLon), 6);
    addNumber(table, millimetresToMetres(a->apAlt), 1);
    addNumber(table, lat, 6);
    addNumber(table, lon, 6);
    addNumber(table, altitude, 1);
    addCell(table, towerSource(a, flags));
    addCell(table, towerFrequencyText(a));
    addNumber(table, a->runwayCount, 0);
}

}  // namespace

int listOffline(const OfflineRequest& request, std::string& out, std::string& reason) {
    Airport* records = nullptr;
    uint32_t count = 0;
    if (int code = openOfflineDatabase(request, records, count, reason)) return code;

    TextTable table = makeTable({"ident", "name", ">lat", ">lon", ">elev_m", ">tower_lat", ">tower_lon",
                                 ">tower_alt_m", "tower_from", "tower_com", ">runways"});
    table.ends.reserve(table.ends.size() * (static_cast<size_t>(count) + 1));
    table.text.reserve(128 * (static_cast<size_t>(count) + 1));
    for (uint32_t i = 0; i < count; ++i)
        if (!request.pattern || identMatches(request.pattern, airportText(&records[i]).ident))
            addAirport(table, &records[i]);
    if (tableRows(table) == 0) {
        reason = std::string("no airport matches ") + (request.pattern ? request.pattern : "");
        return kOfflineFailed;
    }
    (request.csv ? writeCsv : writeAligned)(table, out);
    return kOfflineDone;
}
