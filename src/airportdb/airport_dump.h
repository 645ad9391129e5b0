// One airport as one console line, for the traces of the import, the merge, the load and the placement.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"

// Logs the record's line at `level`, or "airport == NULL" when there is none.
void dumpAirport(const Airport* airport, int32_t level);
