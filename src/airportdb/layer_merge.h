// The merge of a later record of an airport (a higher layer, or a later file or record of the same
// layer) into the airport its first record made: the later record's tower, when it gives one, wins;
// the reference position and elevation stay those of the first record.
#pragma once

#include "airportdb/airport.h"

// Copies twrLon, twrLat and twrAlt from `later` into `existing` when `later` gives a tower latitude
// (raw not 0 and not exactly 0.0 degrees), with the merge trace at level 5. Frees neither record.
void mergeTowerInfo(Airport* existing, const Airport* later);
