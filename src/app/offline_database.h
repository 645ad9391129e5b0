// What the options without the simulator read as a start reads it: the settings of kestrel.ini, the
// simulator folder given on the command line, and the database file with the load's checks.
#pragma once

#include <cstdint>
#include <string>

#include "app/offline_request.h"

struct Airport;

// Creates the settings with their defaults, builds the paths (the database one from --database when
// given) and reads kestrel.ini. Returns kOfflineDone, or kOfflineFailed with `reason`.
int prepareOfflineSettings(const OfflineRequest& request, std::string& reason);

// Takes the --fs-dir folder as the simulator's folder, as the start takes the interface's report.
// Returns 1, or 0 after the start's own messages.
int useOfflineSimFolder(const char* folder);

// prepareOfflineSettings, then the database file checked as a load checks it (with --fs-dir against
// that folder's scenery library, digests and the stamps of its airport files included). Returns
// kOfflineDone with the records (owned by the caller, kept to the end) and their count, or
// kOfflineFailed with `reason`.
int openOfflineDatabase(const OfflineRequest& request, Airport*& records, uint32_t& count, std::string& reason);

// The airport's tower frequencies in MHz, as the tower search reads its slots, separated by blanks.
std::string towerFrequencyText(const Airport* airport);
