#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/profile_reader.h"

namespace {

// During a hold the file is read once, where it is read from (its VirtualStore copy or itself), and the
// lookups answer from that copy with the system reader's rules: the system reader goes back to the file
// at every lookup, which costs a millisecond a key under Wine, and scenery.cfg is asked thousands of
// times in a moment. A file the system reads as Unicode, or that cannot be opened, is left to it.
struct HeldFile {
    bool held = false;
    bool ours = false;  // answered by our reader
    char path[kVirtualStoreFolderSize] = {};
    char copy[kVirtualStorePathSize] = {};
    const char* readPath = nullptr;
};

HeldFile heldFile;

bool isHeld(const char* path) {
    return heldFile.held && std::strcmp(heldFile.path, path) == 0;
}

const char* readPathOf(const char* path, char* copy, size_t size) {
    if (isHeld(path)) return heldFile.readPath;
    return platformReadPath(path, copy, size);
}

// Whether our reader reads the file as the system reader does: it opens (as the system's reader opens
// it, sharing it with a writer) and has no UTF-16 or UTF-8 byte order mark, whose text the system
// converts.
bool readsAsTheSystem(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    unsigned char head[3] = {};
    const size_t read = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (read >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF))) return false;
    return !(read == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF);
}

}  // namespace

uint32_t platformProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    if (isHeld(path) && heldFile.ours) return profileReadInt(section, key, defaultValue, heldFile.readPath);
    char copy[kVirtualStorePathSize];
    return GetPrivateProfileIntA(section, key, defaultValue, readPathOf(path, copy, sizeof copy));
}

uint32_t platformProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                               uint32_t size, const char* path) {
    if (isHeld(path) && heldFile.ours)
        return profileReadString(section, key, defaultValue, out, size, heldFile.readPath);
    char copy[kVirtualStorePathSize];
    return GetPrivateProfileStringA(section, key, defaultValue, out, size,
                                    readPathOf(path, copy, sizeof copy));
}

void platformProfileHold(const char* path) {
    platformProfileRelease();
    if (std::strlen(path) >= sizeof heldFile.path) return;
    std::strcpy(heldFile.path, path);
    const char* readPath = platformReadPath(path, heldFile.copy, sizeof heldFile.copy);
    heldFile.readPath = readPath == path ? heldFile.path : heldFile.copy;
    heldFile.held = true;
    heldFile.ours = readsAsTheSystem(heldFile.readPath);
    if (heldFile.ours) profileHold(heldFile.readPath);
}

void platformProfileRelease() {
    if (heldFile.ours) profileRelease();
    heldFile = HeldFile{};
}
