// The indexing progress display shown while the airport database is built from the scenery: a fixed
// headline, the files scanned with the layers done, the airports found, and a bar with one step per
// layer; at the end the build time, kept on screen for 2.5 seconds.
//
// Called on the main thread only, in this order: progressOpen, progressStart, then any number of
// progressAddFiles / progressAddAirports / progressLayerDone, then progressFinish.
#pragma once

#include <cstdint>

#include "platform/progress_window.h"

// The counters, written by the main thread only; reset with one assignment (`progressState = {};`).
struct ProgressState {
    uint32_t filesScanned = 0;   // BGL files handed to the walker so far
    uint32_t airportsFound = 0;  // airports added to the airport table so far
    uint32_t layersDone = 0;     // scenery layers finished so far
    uint32_t totalLayers = 0;    // layers to scan: the bar's maximum
    uint32_t startTime = 0;      // tick count at progressStart; the elapsed milliseconds after progressFinish
    uint32_t lastRefresh = 0;    // tick count of the last label refresh
};

extern ProgressState progressState;

// Starts the display (on Windows, its window thread) and returns at once. Resets the counters.
void progressOpen();

// Stores the number of layers, waits up to 5 seconds for the display (less when a stop is requested),
// sets the bar's range to 0..totalLayers with a step of 1 and records the start time.
void progressStart(uint32_t totalLayers);

// Count n more BGL files / airports; the labels follow at most every 10 ms.
void progressAddFiles(uint32_t n);
void progressAddAirports(uint32_t n);

// Counts a finished layer and advances the bar one step.
void progressLayerDone();

// Shows the exact totals and the build time, keeps them on screen for 2500 ms (the caller waits; a
// stop request ends the wait within a pause of kProgressStopPause ms), then closes the display.
void progressFinish();

// What the progress operations drive: the display and the clock. The program uses the platform's;
// tests put in substitutes.
struct ProgressPlatform {
    void (*open)();
    int (*ready)();
    void (*setText)(ProgressText which, const char* text);
    void (*setRange)(uint16_t maximum);
    void (*setStep)(uint16_t step);
    void (*step)();
    void (*close)();
    uint32_t (*tickCount)();
    void (*sleep)(uint32_t milliseconds);
    int (*stopRequested)();  // 1 once the user asked kestrel to stop; null: never
};

// The longest pause of the display's waits between two looks at the stop request.
constexpr uint32_t kProgressStopPause = 50;

// The real display and clock.
const ProgressPlatform& platformProgress();

// No display and no final wait, with the real clock: for builds that nobody watches (benchmarks, tests).
const ProgressPlatform& silentProgress();

// Makes the progress operations use `replacement` (kept by pointer); null restores the platform's.
void setProgressPlatform(const ProgressPlatform* replacement);
