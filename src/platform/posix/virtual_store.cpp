#include "platform/platform.h"

// No system here keeps VirtualStore copies: every read takes the path itself.

int platformVirtualStoreFolders(VirtualStoreFolders& /*folders*/) {
    return 0;
}

void platformReadVirtualStoreCopies(const VirtualStoreFolders* /*folders*/) {}

const char* platformReadPath(const char* path, char* /*buffer*/, size_t /*size*/) {
    return path;
}
