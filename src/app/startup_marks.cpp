#include "app/startup_marks.h"

#include "core/log.h"
#include "platform/platform.h"

namespace {

uint32_t entryTick = 0;

}  // namespace

void startupMarkEntry() {
    entryTick = platformTickCount();
}

uint32_t startupElapsedMs() {
    return platformTickCount() - entryTick;  // unsigned: right across the tick count's wrap too
}

void startupMark(const char* step) {
    startupMarkAt(step, startupElapsedMs());
}

void startupMarkAt(const char* step, uint32_t elapsedMs) {
    logMessage(5, "Start-up: %s at %u ms", step, elapsedMs);
}
