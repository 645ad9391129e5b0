#include "tower/tower_search.h"

#include <new>

#include "airportdb/airport.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/sim_state.h"
#include "tower/spatial_index.h"

int tunedTowerSlot(const Airport* a, uint16_t radio) {
    // No radio tuned is heard by no tower, not even one whose code cuts down to 0 (117.00x MHz).
    if (radio == kNoComFrequency) return -1;
    for (int i = 0; i < kTowerComSlots && a->towerCom[i] != 0; ++i)
        if ((a->towerCom[i] / 10) * 10 == radio) return i;
    return -1;
}

bool candidateFlagged(const Airport* a) {
    const double threshold = core.config ? static_cast<double>(core.config->comLockThreshold) : 0.0;
    return threshold > a->distanceNm && tunedTowerSlot(a, simState.radio) >= 0;
}

namespace {

// One pass: collects the airports of the box for `factor` into core.candidates. Returns whether the
// box already covers every point of the index (latitude -90..90, longitude -360..360).
bool searchPass(int32_t factor) {
    core.candidateCount = 0;
    const double f = factor / 10.0;
    const double h = f / 2.0;
    const double low[2] = {simState.clat - h, simState.clon - f};
    const double high[2] = {simState.clat + h, simState.clon + f};

    uint32_t start = platformTickCount();
    kdRangeSearch(low, high);
    uint32_t elapsed = platformTickCount() - start;
    logMessage(5, "search for (%f,%f)-(%f,%f) (factor %ld) took %ld ms, yielded %d results", low[0], low[1],
               high[0], high[1], static_cast<long>(factor), static_cast<long>(elapsed),
               static_cast<int>(core.candidateCount));

    return !(low[0] > -90.0 || high[0] < 90.0 || low[1] > -360.0 || high[1] < 360.0);
}

// The backward walk over the final pass: a flagged (tuned and near enough) airport beats any unflagged
// one; otherwise the strictly nearer wins, so on a tie the one reported last by the search stays.
Airport* chooseCandidate() {
    Airport* chosen = nullptr;
    bool chosenFlagged = false;
    for (int32_t i = core.candidateCount - 1; i >= 0; --i) {
        Airport* c = core.candidates[i];
        bool flagged = candidateFlagged(c);
        if (flagged && c != core.currentAirport)
            logMessage(5, "COM Frequency matched for %s at distance %f", airportText(c).ident, c->distanceNm);
        bool take;
        if (!chosen)
            take = true;
        else if (flagged != chosenFlagged)
            take = flagged;
        else
            take = chosen->distanceNm > c->distanceNm;
        if (take) {
            chosen = c;
            chosenFlagged = flagged;
        }
    }
    return chosen;
}

}  // namespace

Airport* towerSearch(int32_t factor, int32_t minCandidates) {
    if (factor < 2) factor = 2;
    // A pilot always expects a tower: without a positive minimum, grow until one airport is in the box.
    const int32_t wanted = minCandidates > 0 ? minCandidates : 1;
    for (;;) {
        bool wholeIndex = searchPass(factor);
        if (core.candidateCount >= wanted || wholeIndex || factor > INT32_MAX / 2) break;
        factor *= 2;
    }
    return chooseCandidate();
}

int allocateCandidates(uint32_t airportCount) {
    const size_t room = 2 * static_cast<size_t>(airportCount);
    core.candidates = new (std::nothrow) Airport*[room];
    core.candidateCapacity = core.candidates ? static_cast<int32_t>(room) : 0;
    return core.candidates ? 1 : 0;
}
