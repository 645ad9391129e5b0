#include "scenery/scenery_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/base_dir.h"

LayerList layerList;

namespace {

constexpr int kAreaSlots = 1000;            // area numbers 1 to 999; slot 0 is never used
constexpr size_t kActiveBufferSize = 4096;  // room for the "active" value
constexpr size_t kQuirkLength = 19;         // "scenery\scenery.dat" plus the backslash before it
const char kSceneryDat[] = "scenery.dat";
const char kSceneryCfg[] = "scenery.cfg";

char* heapCopy(const char* text) {
    size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

void formatSection(char* section, size_t size, int area) {
    std::snprintf(section, size, "Area.%03d", area);
}

// The full path of one area's scenery.dat in `path`, or 0 when the area is to be skipped.
int composeLayerPath(const char* section, char* path) {
    platformProfileString(section, "Local", "", path, kPathBufferSize, layerList.sceneryCfgPath);
    if (path[0] == '\0') return 0;

    char local[kPathBufferSize];
    std::memcpy(local, path, kPathBufferSize);
    if (!makeAbsolutePath(path)) {
        logMessage(2, "%s: the folder %s is too long for a path of %d characters. Ignoring that layer!",
                   section, local, kPathBufferSize - 1);
        return 0;
    }
    size_t length = std::strlen(path);
    bool needsBackslash = length == 0 || path[length - 1] != '\\';
    size_t total = length + (needsBackslash ? 1 : 0) + std::strlen(kSceneryDat);
    if (total >= static_cast<size_t>(kPathBufferSize)) {
        logMessage(2, "%s: the folder %s is too long for a path of %d characters. Ignoring that layer!",
                   section, path, kPathBufferSize - 1);
        return 0;
    }
    if (needsBackslash) path[length++] = '\\';
    std::memcpy(path + length, kSceneryDat, sizeof kSceneryDat);

    if (!locateSceneryDat(path)) {
        logMessage(2, "%s: %s could not be opened for reading. Ignoring that layer!", section, path);
        return 0;
    }
    return 1;
}

// A failed read ends the start: said whatever the log level.
int outOfMemory() {
    logMessage(0, "Not enough memory to read the scenery library!");
    return 0;
}

// The library read looks up to 999 areas up in scenery.cfg, several keys each, in a moment.
class ProfileHold {
public:
    explicit ProfileHold(const char* path) { platformProfileHold(path); }
    ~ProfileHold() { platformProfileRelease(); }
    ProfileHold(const ProfileHold&) = delete;
    ProfileHold& operator=(const ProfileHold&) = delete;
};

}  // namespace

int makeAbsolutePath(char* path) {
    size_t length = std::strlen(path);
    bool absolute = (length >= 2 && path[1] == ':') || (length >= 7 && path[0] == '\\' && path[1] == '\\') ||
                    platformIsNativeAbsolutePath(path);
    if (absolute) return 1;
    size_t baseLength = std::strlen(basedir);
    if (baseLength + length >= static_cast<size_t>(kPathBufferSize)) return 0;
    std::memmove(path + baseLength, path, length + 1);
    std::memcpy(path, basedir, baseLength);
    return 1;
}

int locateSceneryDat(char* path) {
    if (platformCanOpenForReading(path)) return 1;
    logMessage(4, "scenery.dat not found at %s", path);
    size_t length = std::strlen(path);
    if (length <= kQuirkLength) return 0;

    char corrected[kPathBufferSize];
    std::memcpy(corrected, path, length - kQuirkLength);
    std::memcpy(corrected + length - kQuirkLength, kSceneryDat, sizeof kSceneryDat);
    logMessage(4, "applying quirk to look for it at %s", corrected);
    if (!platformCanOpenForReading(corrected)) {
        logMessage(4, "File still wasn't found, giving up for this file.");
        return 0;
    }
    std::memcpy(path, corrected, std::strlen(corrected) + 1);
    return 1;
}

int readSceneryLibrary() {
    releaseSceneryLibrary();

    // Held to a path like every other: on Windows a longer one reads as no file at all.
    if (std::strlen(basedir) + std::strlen(kSceneryCfg) >= static_cast<size_t>(kPathBufferSize)) {
        logMessage(0,
                   "scenery.cfg: the folder %s is too long for a path of %d characters. Cannot read the "
                   "scenery library!",
                   basedir, kPathBufferSize - 1);
        return 0;
    }
    char cfgPath[kPathBufferSize];
    std::snprintf(cfgPath, sizeof cfgPath, "%s%s", basedir, kSceneryCfg);
    layerList.sceneryCfgPath = heapCopy(cfgPath);
    if (!layerList.sceneryCfgPath) return outOfMemory();
    logMessage(5, "scenery.cfg: %s\n", layerList.sceneryCfgPath);

    ProfileHold hold(layerList.sceneryCfgPath);
    // Probe every area number: its layer when active, -1 when not.
    int32_t slots[kAreaSlots] = {};
    char section[16];
    char active[kActiveBufferSize];
    for (int area = 1; area < kAreaSlots; ++area) {
        formatSection(section, sizeof section, area);
        int32_t layer =
            static_cast<int32_t>(platformProfileInt(section, "Layer", 0, layerList.sceneryCfgPath));
        platformProfileString(section, "active", "false", active, sizeof active, layerList.sceneryCfgPath);
        platformCharLower(active);
        slots[area] = std::strcmp(active, "true") == 0 ? layer : -1;
        logMessage(5, "area %s -> layer %d, active: %d", section, layer, slots[area] != -1 ? 1 : 0);
    }

    // Select from the highest layer down; among equal layers the lowest area number first.
    char** paths = static_cast<char**>(std::calloc(kAreaSlots, sizeof(char*)));
    if (!paths) return outOfMemory();
    int areas[kAreaSlots];  // the area number of each collected path
    int32_t count = 0;
    for (;;) {
        int chosen = 0;
        for (int area = 1; area < kAreaSlots; ++area)
            if (slots[area] > -1 && (chosen == 0 || slots[area] > slots[chosen])) chosen = area;
        if (chosen == 0) break;
        slots[chosen] = -1;
        formatSection(section, sizeof section, chosen);

        char path[kPathBufferSize];
        if (!composeLayerPath(section, path)) continue;
        char* copy = heapCopy(path);
        if (!copy) continue;
        areas[count] = chosen;
        paths[count++] = copy;
    }

    layerList.layerPaths = static_cast<char**>(std::calloc(count > 0 ? count : 1, sizeof(char*)));
    layerList.layerDigests = static_cast<Digest**>(std::calloc(count > 0 ? count : 1, sizeof(Digest*)));
    if (!layerList.layerPaths || !layerList.layerDigests) {
        for (int32_t i = 0; i < count; ++i)
            std::free(paths[i]);
        std::free(paths);
        return outOfMemory();
    }

    // A scenery.cfg without a digest stays all zero: the library still reads (as empty when missing).
    if (!md5File(layerList.sceneryCfgDigest, layerList.sceneryCfgPath)) layerList.sceneryCfgDigest = Digest{};

    // A layer index without a digest (empty, or held open for writing by another program) cannot be
    // read either: like one that cannot be opened, it is left out (md5File has said why).
    int ok = 1;
    for (int32_t i = 0; i < count; ++i) {
        Digest* digest = ok ? static_cast<Digest*>(std::calloc(1, sizeof(Digest))) : nullptr;
        if (!digest) {
            ok = 0;  // out of memory: the read fails, and the paths not yet kept are freed
        } else if (md5File(*digest, paths[i])) {
            layerList.layerPaths[layerList.layerCount] = paths[i];
            layerList.layerDigests[layerList.layerCount++] = digest;
            continue;
        } else {
            formatSection(section, sizeof section, areas[i]);
            logMessage(2, "%s: %s could not be opened for reading. Ignoring that layer!", section, paths[i]);
        }
        std::free(digest);
        std::free(paths[i]);
    }
    std::free(paths);
    return ok ? 1 : outOfMemory();
}

void releaseSceneryLibrary() {
    for (int32_t i = 0; i < layerList.layerCount; ++i) {
        if (layerList.layerPaths) std::free(layerList.layerPaths[i]);
        if (layerList.layerDigests) std::free(layerList.layerDigests[i]);
    }
    std::free(layerList.layerPaths);
    std::free(layerList.layerDigests);
    std::free(layerList.sceneryCfgPath);
    layerList = LayerList{};
}
