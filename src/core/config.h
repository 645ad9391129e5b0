// The settings record: 17 integers, created with built-in defaults and then read once from the
// settings file, section KestrelConfig. Read-only afterwards.
#pragma once

#include <cstdint>

struct Config {
    int32_t logLevel;                // highest message level printed; compared signed
    int32_t maxDisplayInfoAltitude;  // metres; the info text shows only at or below it
    uint32_t towerAlt1Rw;            // metres above the airport for 0 or 1 runway, without a tower altitude
    uint32_t towerAlt2Rw;
    uint32_t towerAlt3Rw;
    uint32_t towerAlt4Rw;
    uint32_t towerAlt5Rw;
    uint32_t towerAlt6Rw;        // six or more runways
    int32_t towerMinCandidates;  // the tower search grows its box until it holds this many
    uint32_t comLockThreshold;   // nm: only nearer airports win by a matching frequency
    uint32_t zoomLevel;          // low 16 bits written as the tower view zoom on a change
    uint32_t updateInterval;     // milliseconds from the end of a poll to the next
    int32_t simpleFixHeading;    // degrees added to the runway heading for the simple fix
    int32_t simpleFixDistance;   // percent of the runway length, or metres when negative
    int32_t displayDuration;     // seconds the info text stays on screen
    int32_t alwaysSetTower;      // non-zero: place the tower after every successful poll
    int32_t forceFsPathToUNC;    // non-zero: keep a UNC simulator folder as reported
};

// Allocates a record holding the defaults (never freed) and sets the log level to 3.
Config* configDefaults();

// Overwrites every field found in section "KestrelConfig" of the settings file at `settingsPath`
// (missing file, section or key keep the field), applies the log level and logs the dump at level 4.
// A file that is not there, or cannot be read, says so first, at level 3.
void configLoad(Config* config, const char* settingsPath);
