#include "platform/platform.h"

// No system here keeps VirtualStore copies: every read takes the path itself.

VirtualStoreSystem platformVirtualStoreFolders(VirtualStoreFolders& folders) {
    folders = VirtualStoreFolders{};
    return VirtualStoreSystem::none;
}

int platformLongPathName(const char* /*path*/, char* /*out*/, size_t /*size*/) {
    return 0;  // no short names here
}

void platformReadVirtualStoreCopies(const VirtualStoreFolders* /*folders*/) {}

const char* platformReadPath(const char* path, char* /*buffer*/, size_t /*size*/) {
    return path;
}
