// The step of the start-up that gives the program its airports: load kestrel.dat when it still
// matches the scenery library, else build the database from the scenery and cache it.
#pragma once

#include <cstdint>

// The line of a successful build, with its number of airports (%i).
constexpr const char* kImportedFormat = "Successfully imported %i airport infos from scenery.";

// Reads the scenery library, then loads the database file or builds the database (always builds,
// and writes nothing, while an airport is traced). Returns the number of airports; 0 when the library
// could not be read or holds no airport ("No airports in database!"), which ends the start-up.
uint32_t loadOrBuildDatabase();

// Imports every layer from the lowest to the highest under the progress display, finalises and writes
// every airport in identifier order, and returns their number.
uint32_t buildDatabase();

// Reads the scenery library and builds the database whatever kestrel.dat holds, as loadOrBuildDatabase
// builds it, with its messages except the success line (kImportedFormat), which is the caller's to give.
// Returns the number of airports; 0 as loadOrBuildDatabase.
uint32_t rebuildDatabase();
