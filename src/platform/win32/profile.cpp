#include <windows.h>

#include <cstring>

#include "platform/platform.h"

namespace {

// During a hold the file's read path is looked up once, not once per key: scenery.cfg is asked
// thousands of times in a moment.
struct HeldFile {
    bool held = false;
    char path[kVirtualStoreFolderSize] = {};
    char copy[kVirtualStorePathSize] = {};
    const char* readPath = nullptr;
};

HeldFile heldFile;

const char* readPathOf(const char* path, char* copy, size_t size) {
    if (heldFile.held && std::strcmp(heldFile.path, path) == 0) return heldFile.readPath;
    return platformReadPath(path, copy, size);
}

}  // namespace

uint32_t platformProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    char copy[kVirtualStorePathSize];
    return GetPrivateProfileIntA(section, key, defaultValue, readPathOf(path, copy, sizeof copy));
}

uint32_t platformProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                               uint32_t size, const char* path) {
    char copy[kVirtualStorePathSize];
    return GetPrivateProfileStringA(section, key, defaultValue, out, size,
                                    readPathOf(path, copy, sizeof copy));
}

// The system's reader keeps its own copy of the file it read last; a hold only keeps where it reads.
void platformProfileHold(const char* path) {
    heldFile = HeldFile{};
    if (std::strlen(path) >= sizeof heldFile.path) return;
    std::strcpy(heldFile.path, path);
    const char* readPath = platformReadPath(path, heldFile.copy, sizeof heldFile.copy);
    heldFile.readPath = readPath == path ? heldFile.path : heldFile.copy;
    heldFile.held = true;
}

void platformProfileRelease() {
    heldFile = HeldFile{};
}
