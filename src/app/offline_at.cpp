// --at: the tower the main loop would choose for an aircraft at a position, tuned to a frequency, and why,
// with the nearest airports the search weighed.
#include <algorithm>
#include <vector>

#include "airportdb/airport.h"
#include "airportdb/database_file.h"
#include "core/config.h"
#include "core/core_state.h"
#include "app/main_loop.h"
#include "app/offline_database.h"
#include "app/offline_request.h"
#include "app/offline_table.h"
#include "simlink/sim_state.h"
#include "tower/conversions.h"
#include "tower/tower_placement.h"
#include "tower/tower_search.h"

namespace {

constexpr size_t kCandidatesShown = 10;

// The airports of the search's final box, each once (a box over 360 degrees wide holds both copies),
// nearest first.
std::vector<Airport*> distinctCandidates() {
    std::vector<Airport*> list(core.candidates, core.candidates + core.candidateCount);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    std::stable_sort(list.begin(), list.end(),
                     [](const Airport* a, const Airport* b) { return a->distanceNm < b->distanceNm; });
    return list;
}

std::string why(const Airport* chosen, const OfflineRequest& request) {
    char text[256];
    const unsigned threshold = core.config->comLockThreshold;
    const int slot = tunedTowerSlot(chosen, simState.radio);
    if (candidateFlagged(chosen)) {
        std::snprintf(text, sizeof text,
                      "its tower frequency %.3f MHz is tuned, and at %.1f nm it is nearer than ComLockThreshold "
                      "(%u nm)",
                      comFrequencyMHz(chosen->towerCom[slot]), chosen->distanceNm, threshold);
    } else if (request.tuned) {
        std::snprintf(text, sizeof text,
                      "the nearest airport (%.1f nm): no airport nearer than ComLockThreshold (%u nm) has a "
                      "tower on %.2f MHz",
                      chosen->distanceNm, threshold, comFrequencyMHz(simState.radio));
    } else {
        std::snprintf(text, sizeof text, "the nearest airport (%.1f nm): no frequency tuned",
                      chosen->distanceNm);
    }
    return text;
}


}  // namespace

int towerAtOffline(const OfflineRequest& request, std::string& out, std::string& reason) {
    Airport* records = nullptr;
    uint32_t count = 0;
    if (int code = openOfflineDatabase(request, records, count, reason)) return code;
    indexAirports(records, count);
    if (!allocateCandidates(count)) {
        reason = "not enough memory for the tower search";
        return kOfflineFailed;
    }

    // The aircraft as a poll would leave it, on the ground, before any tower was chosen.
    simState = SimState{};
    simState.clat = request.latitude;
    simState.clon = request.longitude;
    simState.radio = request.radio;
    core.currentAirport = nullptr;
    Airport* chosen = mainLoopTowerSearch(towerSearch);
    if (!chosen) {
        reason = std::string("no airport in ") + core.databasePath;
        return kOfflineFailed;
    }

    const AirportText text = airportText(chosen);
    char info[kTowerInfoSize];
    formatTowerInfo(chosen, info);
    if (request.tuned)
        appendLine(out, "Aircraft: %.6f, %.6f, on %.2f MHz", request.latitude, request.longitude,
                   comFrequencyMHz(simState.radio));
    else
        appendLine(out, "Aircraft: %.6f, %.6f, no frequency tuned", request.latitude, request.longitude);
    appendLine(out, "Chosen:   %s (%s)", printable(text.ident).c_str(), printable(text.name).c_str());
    appendLine(out, "Why:      %s", why(chosen, request).c_str());
    appendLine(out, "Text:     %s", printable(info).c_str());

    const std::vector<Airport*> nearest = distinctCandidates();
    const size_t shown = std::min(nearest.size(), kCandidatesShown);
    std::vector<const Airport*> rows(nearest.begin(), nearest.begin() + static_cast<std::ptrdiff_t>(shown));
    // A frequency match further out than the ten nearest: its row says why it won.
    const bool chosenShown = std::find(rows.begin(), rows.end(), chosen) != rows.end();
    if (!chosenShown) rows.push_back(chosen);
    appendLine(out, "The %zu nearest of the %zu airports in the search box%s:", shown, nearest.size(),
               chosenShown ? "" : ", and the chosen one");
    TextTable table = makeTable({"ident", "name", ">distance_nm", "tower_com", "matched"});
    for (const Airport* a : rows) {
        const AirportText t = airportText(a);
        const bool flagged = candidateFlagged(a);
        addCell(table, t.ident);
        addCell(table, t.name);
        addNumber(table, a->distanceNm, 1);
        addCell(table, towerFrequencyText(a));
        addCell(table, flagged                                   ? "yes"
                       : tunedTowerSlot(a, simState.radio) >= 0 ? "no, too far"
                                                                 : "no");
    }
    writeAligned(table, out);
    return kOfflineDone;
}
