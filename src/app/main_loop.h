// The polling loop: whenever the update interval has passed since the last poll (by the clock, or by a
// nominal 10 ms per sleep, whichever is more) the simulator is polled, the tower chosen and, until the
// simulator shows it, placed.
#pragma once

#include <cstddef>
#include <cstdint>

struct Airport;

// The work of one cycle, as replaceable steps (the run sequence passes the real ones, tests their own).
struct MainLoopSteps {
    int (*poll)();                                              // 1 when the aircraft state is fresh
    Airport* (*search)(int32_t factor, int32_t minCandidates);  // the tower's airport, or null
    int (*place)(int placement);          // moves the tower view (kPlace...); 1 when it reached the simulator
    int (*viewLost)();                    // 1 once after the simulator may have lost the tower view
    int (*linkLost)();                    // 1 while the link to the simulator is lost
    void (*setTitle)(const char* title);  // the console window's title
    void (*sleep)(uint32_t milliseconds);
    uint32_t (*ticks)();                  // milliseconds of a clock that may wrap
};

// The loop's tower search for the aircraft state in simState: `search` with factor 2 and the
// towerMinCandidates setting. Whatever asks which tower the loop would choose asks it this way.
Airport* mainLoopTowerSearch(Airport* (*search)(int32_t factor, int32_t minCandidates));

// The console title: "kestrel 2.01 - KSFO" for the tower last placed (none: "kestrel 2.01"), with
// " - waiting for the simulator" while `waiting`.
constexpr size_t kTitleSize = 96;
void formatConsoleTitle(const Airport* placed, int waiting, char (&title)[kTitleSize]);

// Runs until core.stopRequested is seen after a sleep or a poll. Reads the settings through
// core.config and keeps core.currentAirport and core.placedAirport. An airport counts as placed only
// once its tower write succeeded: until then every successful poll places it again as a new tower.
// When the simulator may have lost the view (the link was opened again, a flight was loaded), the
// placed tower is written once more with its zoom. After every poll the console title names the tower
// last placed and, while the link is lost, says that kestrel waits for the simulator; it is set only
// when its text changes, starting from the plain title the start set.
void runMainLoop(const MainLoopSteps& steps);
