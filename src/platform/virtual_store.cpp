#include "platform/virtual_store.h"

#include <cstring>

namespace {

char foldForPath(char c) {
    if (c == '/') return '\\';
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Length of `folder` when `path` begins with it, else 0.
size_t matchedPrefix(const char* folder, const char* path) {
    size_t i = 0;
    for (; folder[i] != '\0'; ++i)
        if (path[i] == '\0' || foldForPath(folder[i]) != foldForPath(path[i])) return 0;
    return i;
}

bool isDriveFolder(const char* folder) {
    return folder[0] != '\0' && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/');
}

}  // namespace

int virtualStoreProgramFolderOf(const VirtualStoreFolders& folders, const char* path) {
    int best = -1;
    size_t bestLength = 0;
    for (int i = 0; i < kVirtualStoreProgramFolders; ++i) {
        const char* folder = folders.programFiles[i];
        if (!isDriveFolder(folder)) continue;
        const size_t length = matchedPrefix(folder, path);
        if (length > bestLength) {
            best = i;
            bestLength = length;
        }
    }
    return best;
}

int sameWindowsPath(const char* a, const char* b) {
    size_t i = 0;
    while (a[i] != '\0' && foldForPath(a[i]) == foldForPath(b[i]))
        ++i;
    return a[i] == '\0' && b[i] == '\0' ? 1 : 0;
}

int virtualStoreCopyPath(const VirtualStoreFolders& folders, const char* path, char* out, size_t size) {
    if (folders.store[0] == '\0' || virtualStoreProgramFolderOf(folders, path) < 0) return 0;
    if (folders.own[0] != '\0' && matchedPrefix(folders.own, path) > 0) return 0;
    const char* belowDrive = path + 3;  // the folder matched is a drive path: "X:\" goes
    const size_t storeLength = std::strlen(folders.store);
    const size_t restLength = std::strlen(belowDrive);
    if (storeLength + restLength + 1 > size) return 0;
    std::memcpy(out, folders.store, storeLength);
    std::memcpy(out + storeLength, belowDrive, restLength + 1);
    return 1;
}
