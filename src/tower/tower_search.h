// The choice of the tower the pilot is talking to: the airports in a box around the aircraft, the box
// doubled until it holds enough of them, then the nearest one whose tower frequency is tuned (within
// comLockThreshold nm), else the nearest one.
#pragma once

#include <cstdint>

struct Airport;

// Allocates core.candidates with room for two entries per airport (every airport stands twice in the
// spatial index, so one search can report it twice) and records that room in core.candidateCapacity.
// Returns 1, or 0 when the memory is not there.
int allocateCandidates(uint32_t airportCount);

// Searches around simState's position with the box factor/20 degrees high and factor/10 wide on each
// side (factor at least 2), doubling the factor while fewer than `minCandidates` airports were found
// and the box does not yet cover the whole index. A minimum of 0 or less still grows until at least
// one airport is found. Fills core.candidates and the candidates' distanceNm. Returns the chosen
// airport, or null when the index is empty.
Airport* towerSearch(int32_t factor, int32_t minCandidates);

// The first tower slot that, cut to the radio's 10 kHz resolution, equals the tuned code; -1 when none,
// and always when no radio is tuned (kNoComFrequency).
int tunedTowerSlot(const Airport* airport, uint16_t radio);

// The search's flag for a collected airport: nearer than comLockThreshold (its distanceNm) and on the
// tuned frequency (simState.radio). A flagged airport beats any unflagged one.
bool candidateFlagged(const Airport* airport);
