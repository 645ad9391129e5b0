// The polling loop: a nominal millisecond counter advanced by 10 per 10 ms sleep; whenever it reaches
// the update interval the simulator is polled, the tower chosen and, on a change, placed.
#pragma once

#include <cstdint>

struct Airport;

// The work of one cycle, as replaceable steps (the run sequence passes the real ones, tests their own).
struct MainLoopSteps {
    int (*poll)();                                              // 1 when the aircraft state is fresh
    Airport* (*search)(int32_t factor, int32_t minCandidates);  // the tower's airport, or null
    void (*place)(int changed);                                 // moves the tower view
    void (*sleep)(uint32_t milliseconds);
};

// The loop's tower search for the aircraft state in simState: `search` with factor 2 and the
// towerMinCandidates setting. Whatever asks which tower the loop would choose asks it this way.
Airport* mainLoopTowerSearch(Airport* (*search)(int32_t factor, int32_t minCandidates));

// Runs until core.stopRequested is seen after a sleep. Reads the settings through core.config and
// keeps core.currentAirport.
void runMainLoop(const MainLoopSteps& steps);
