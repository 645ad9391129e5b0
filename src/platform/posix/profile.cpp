#include "platform/platform.h"
#include "platform/posix/native_path.h"
#include "platform/profile_reader.h"

uint32_t platformProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    return profileReadInt(section, key, defaultValue, nativePath(path).c_str());
}

uint32_t platformProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                               uint32_t size, const char* path) {
    return profileReadString(section, key, defaultValue, out, size, nativePath(path).c_str());
}

void platformProfileHold(const char* path) {
    profileHold(nativePath(path).c_str());
}

void platformProfileRelease() {
    profileRelease();
}
