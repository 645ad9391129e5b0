// Where the tower view stands: finalisation of an airport's runways into its runway count and the
// packed single-runway value, the tower point (tower coordinates, else the airport's, moved off an only
// runway by the simple fix), and the trace of the airport named on the command line.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"

// Counts and frees the airport's runway list into runwayCount (low 8 bits) and puts singleRunway in
// the slot at offset 8: the packed value when the list has exactly one runway under the tower, else 0.
void finaliseRunways(Airport* airport);

// trunc(length) * 10 + trunc(heading) in radians, in single precision, when the runway's centre lies
// within 0.0002 degrees of the tower point in both coordinates; else 0.0.
float singleRunwayValue(const Airport* airport, const RunwayNode* runway);

// The tower point of core.currentAirport in degrees; returns the source flags (conversions.h).
uint32_t towerPosition(double& lon, double& lat);

// Moves a tower point of core.currentAirport off its only runway, as simpleFixHeading and
// simpleFixDistance say. A non-finite singleRunway (a damaged file) leaves the point alone.
void applySimpleFix(double& lon, double& lat);

// For the airport being traced (core.debugAirport) only: its state after the scenery file `path`, or,
// with no path, the final result with the synthesised tower (which sets core.currentAirport).
void traceAirport(const char* path, Airport* airport);
