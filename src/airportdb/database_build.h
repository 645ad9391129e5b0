// The step of the start-up that gives the program its airports: load kestrel.dat when it still
// matches the scenery library, else build the database from the scenery and cache it.
#pragma once

#include <cstdint>

// The line of a successful build, with its number of airports (%i).
constexpr const char* kImportedFormat = "Successfully imported %i airport infos from scenery.";

// Reads the scenery library, then loads the database file when its digests and the stamps of the
// airport files beside it still match, or builds the database (always builds, and writes nothing,
// while an airport is traced). Returns the number of airports, and sets databaseFile.source. 0 when
// the library could not be read or holds no airport (each said at level 0), which ends the start-up,
// and when a stop was requested during the build (nothing said; nothing stored).
uint32_t loadOrBuildDatabase();

// Which builds are stored: every build with airports that read all its files is; one that found files
// it could not read (held open by another program, unreadable) is stored only as the policy says; one
// for which memory ran out (an airport, a runway or a file's stamp dropped) never is.
enum class StorePolicy {
    complete,       // not stored; the caller may try again
    knownFailures,  // stored when the same files could not be read by the previous, unstored build
                    // (kestrel.dat.unread), else not stored, and those files noted for the next build
    always,         // stored, without their airports
};

// Imports every layer from the lowest to the highest under the progress display, finalises and writes
// every airport in identifier order, stores the database file and its stamps as `policy` says, and
// returns the number of airports. A stop requested during the import abandons it: nothing is stored,
// the previous files stay as they were, and the result is 0.
uint32_t buildDatabase(StorePolicy policy = StorePolicy::complete);

// Reads the scenery library and builds the database whatever kestrel.dat holds, as loadOrBuildDatabase
// builds it, with its messages except the success line (kImportedFormat), which is the caller's to give.
// A build that could not read some files is made once more at once, and that one is stored.
// Returns the number of airports; 0 as loadOrBuildDatabase.
uint32_t rebuildDatabase();
