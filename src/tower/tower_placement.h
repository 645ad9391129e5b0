// Moves the simulator's tower view to the selected airport's tower and, when the airport has just
// changed and the aircraft is low enough, names it on the simulator's screen.
#pragma once

#include <cstddef>

struct Airport;

constexpr size_t kTowerInfoSize = 64;

// The text shown on the simulator's screen for the airport: "Tower @ IDENT (name)", at most 48
// characters.
void formatTowerInfo(const Airport* airport, char (&info)[kTowerInfoSize]);

// What a placement writes. A newly selected tower: its position, the zoom and, below the altitude
// limit, the text. The same tower again: its position. The tower put back after the link was opened
// again or a flight was loaded (the simulator may show its default view): its position and the zoom.
enum : int {
    kPlaceAgain = 0,
    kPlaceChanged = 1,
    kPlaceRestore = 2,
};

// Places the tower of core.currentAirport as `placement` says. Returns 1 when the tower position
// reached the simulator, 0 when it did not or there is no current airport.
int placeTower(int placement);
