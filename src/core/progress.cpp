#include "core/progress.h"

#include <cstdio>

#include "core/core_state.h"
#include "platform/platform.h"

ProgressState progressState;

namespace {

constexpr uint32_t kRefreshMilliseconds = 10;
constexpr uint32_t kReadyPauses = 100;
constexpr uint32_t kReadyPauseMilliseconds = 50;
constexpr uint32_t kFinalDisplayMilliseconds = 2500;
constexpr size_t kTextBufferSize = 256;

int stopIsRequested() {
    return core.stopRequested.isSet() ? 1 : 0;
}

const ProgressPlatform kPlatformProgress{
    platformProgressOpen,    platformProgressReady, platformProgressSetText, platformProgressSetRange,
    platformProgressSetStep, platformProgressStep,  platformProgressClose,   platformTickCount,
    platformSleep,           stopIsRequested,
};

const ProgressPlatform kSilentProgress{
    [] {},
    [] { return 1; },
    [](ProgressText, const char*) {},
    [](uint16_t) {},
    [](uint16_t) {},
    [] {},
    [] {},
    platformTickCount,
    [](uint32_t) {},
    stopIsRequested,
};

const ProgressPlatform* active = &kPlatformProgress;

bool stopping() {
    return active->stopRequested && active->stopRequested();
}

void showCounts() {
    char text[kTextBufferSize];
    std::snprintf(text, sizeof text, "Files scanned: %d (%d/%d scenery layers)",
                  static_cast<int>(progressState.filesScanned), static_cast<int>(progressState.layersDone),
                  static_cast<int>(progressState.totalLayers));
    active->setText(kProgressFileCount, text);
    std::snprintf(text, sizeof text, "Airports found: %d", static_cast<int>(progressState.airportsFound));
    active->setText(kProgressAirportCount, text);
}

// Label updates wait for the window thread, so a build that counts thousands of files only pays for
// one refresh per 10 ms. The time since the last refresh is compared, not the sum, so the labels keep
// moving when the tick count wraps during a build.
void refresh() {
    uint32_t now = active->tickCount();
    if (now - progressState.lastRefresh < kRefreshMilliseconds) return;
    showCounts();
    progressState.lastRefresh = now;
}

}  // namespace

const ProgressPlatform& silentProgress() {
    return kSilentProgress;
}

const ProgressPlatform& platformProgress() {
    return kPlatformProgress;
}

void setProgressPlatform(const ProgressPlatform* replacement) {
    active = replacement ? replacement : &kPlatformProgress;
}

void progressOpen() {
    progressState = ProgressState{};
    active->open();
}

void progressStart(uint32_t totalLayers) {
    progressState.totalLayers = totalLayers;
    // A window that does not come up holds the build back by at most 5 seconds; updates to it are then
    // simply lost.
    for (uint32_t pause = 0; pause < kReadyPauses; ++pause) {
        if (active->ready() || stopping()) break;
        active->sleep(kReadyPauseMilliseconds);
    }
    active->setRange(static_cast<uint16_t>(totalLayers));
    active->setStep(1);
    progressState.startTime = active->tickCount();
}

void progressAddFiles(uint32_t n) {
    progressState.filesScanned += n;
    refresh();
}

void progressAddAirports(uint32_t n) {
    progressState.airportsFound += n;
    refresh();
}

void progressLayerDone() {
    progressState.layersDone += 1;
    active->step();
}

void progressFinish() {
    uint32_t now = active->tickCount();
    progressState.startTime = now - progressState.startTime;
    showCounts();
    progressState.lastRefresh = now;
    char text[kTextBufferSize];
    std::snprintf(text, sizeof text, "Airport Database created in %u ms", progressState.startTime);
    active->setText(kProgressHeadline, text);
    // In short pauses, so that a stop does not wait for the rest. Sleep lasts at least a tick of
    // 15.6 ms on Windows, so the clock ends the display as well as the sum of the pauses.
    const uint32_t shown = active->tickCount();
    for (uint32_t waited = 0; waited < kFinalDisplayMilliseconds && !stopping();) {
        const uint32_t left = kFinalDisplayMilliseconds - waited;
        const uint32_t pause = left < kProgressStopPause ? left : kProgressStopPause;
        active->sleep(pause);
        waited += pause;
        if (active->tickCount() - shown >= kFinalDisplayMilliseconds) break;
    }
    active->close();
}
