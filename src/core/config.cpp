#include "core/config.h"

#include "core/log.h"
#include "platform/platform.h"

namespace {

constexpr const char* kSection = "KestrelConfig";

template <typename Field>
void readSetting(const char* key, Field& field, const char* path) {
    field = static_cast<Field>(platformProfileInt(kSection, key, static_cast<int32_t>(field), path));
}

// The reader keeps the defaults without a word when the file is not there: a pilot who edited another
// kestrel.ini (or none) learns which one counts.
void noteMissingSettings(const char* path) {
    if (platformCanOpenForReading(path)) return;
    const uint32_t code = platformLastError();
    if (platformIsMissingFileError(code)) {
        logMessage(3, "There is no settings file %s: kestrel uses the default settings.", path);
        return;
    }
    char* error = platformErrorText(code);
    logMessage(3, "The settings file %s cannot be read, error was: %s. kestrel uses the default settings.",
               path, error);
    platformReleaseErrorText(error);
}

}  // namespace

Config* configDefaults() {
    Config* config = new Config{};
    config->logLevel = 3;
    config->maxDisplayInfoAltitude = 3042;
    config->towerAlt1Rw = 30;
    config->towerAlt2Rw = 50;
    config->towerAlt3Rw = 100;
    config->towerAlt4Rw = 140;
    config->towerAlt5Rw = 140;
    config->towerAlt6Rw = 140;
    config->towerMinCandidates = 100;
    config->comLockThreshold = 30;
    config->zoomLevel = 384;
    config->updateInterval = 5000;
    config->simpleFixHeading = 90;
    config->simpleFixDistance = 10;
    config->displayDuration = 5;
    config->alwaysSetTower = 0;
    config->forceFsPathToUNC = 0;
    setLogLevel(3);
    return config;
}

void configLoad(Config* config, const char* settingsPath) {
    noteMissingSettings(settingsPath);  // at the level in force before: the file sets none
    platformProfileHold(settingsPath);  // one read of the file for all its keys
    readSetting("LogLevel", config->logLevel, settingsPath);
    readSetting("DisplayDuration", config->displayDuration, settingsPath);
    readSetting("MaxDisplayInfoAltitude", config->maxDisplayInfoAltitude, settingsPath);
    readSetting("TowerMinCandidates", config->towerMinCandidates, settingsPath);
    readSetting("ComLockThreshold", config->comLockThreshold, settingsPath);
    readSetting("ZoomLevel", config->zoomLevel, settingsPath);
    readSetting("UpdateInterval", config->updateInterval, settingsPath);
    readSetting("TowerHeight1Rw", config->towerAlt1Rw, settingsPath);
    readSetting("TowerHeight2Rw", config->towerAlt2Rw, settingsPath);
    readSetting("TowerHeight3Rw", config->towerAlt3Rw, settingsPath);
    readSetting("TowerHeight4Rw", config->towerAlt4Rw, settingsPath);
    readSetting("TowerHeight5Rw", config->towerAlt5Rw, settingsPath);
    readSetting("TowerHeight6Rw", config->towerAlt6Rw, settingsPath);
    readSetting("SimpleFixHeading", config->simpleFixHeading, settingsPath);
    readSetting("SimpleFixDistance", config->simpleFixDistance, settingsPath);
    readSetting("AlwaysSetTower", config->alwaysSetTower, settingsPath);
    readSetting("ForceFsPathToUNC", config->forceFsPathToUNC, settingsPath);
    platformProfileRelease();

    setLogLevel(config->logLevel);
    logMessage(4,
               "Configuration dump:\r\nlogLevel=%u\r\ndisplayDuration=%d\r\nmaxDisplayInfoAltitude=%ld\r\n"
               "towerMinCandidates=%u\r\ncomLockThreshold=%u\r\nzoomLevel=%u\r\nupdateInterval=%u\r\n"
               "towerAlt1Rw=%u\r\ntowerAlt2Rw=%u\r\ntowerAlt3Rw=%u\r\ntowerAlt4Rw=%u\r\ntowerAlt5Rw=%u\r\n"
               "towerAlt6Rw=%u\r\nsimpleFixHeading=%u\r\nsimpleFixDistance=%d\r\nalwaysSetTower=%d\r\n"
               "forceFsPathToUNC=%d\r\n",
               static_cast<unsigned>(config->logLevel), config->displayDuration,
               static_cast<long>(config->maxDisplayInfoAltitude),
               static_cast<unsigned>(config->towerMinCandidates), config->comLockThreshold, config->zoomLevel,
               config->updateInterval, config->towerAlt1Rw, config->towerAlt2Rw, config->towerAlt3Rw,
               config->towerAlt4Rw, config->towerAlt5Rw, config->towerAlt6Rw,
               static_cast<unsigned>(config->simpleFixHeading), config->simpleFixDistance,
               config->alwaysSetTower, config->forceFsPathToUNC);
}
