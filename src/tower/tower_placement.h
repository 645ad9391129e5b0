// Moves the simulator's tower view to the selected airport's tower and, when the airport has just
// changed and the aircraft is low enough, names it on the simulator's screen.
#pragma once

#include <cstddef>

struct Airport;

constexpr size_t kTowerInfoSize = 64;

// The text shown on the simulator's screen for the airport: "Tower @ IDENT (name)", at most 48
// characters.
void formatTowerInfo(const Airport* airport, char (&info)[kTowerInfoSize]);

// Places the tower of core.currentAirport. `changed` is 1 when the airport differs from the one
// selected before (the zoom and the text are written only then), 0 when the same tower is placed
// again. Does nothing without a current airport.
void placeTower(int changed);
