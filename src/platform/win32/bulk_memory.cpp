#include <windows.h>

#include "platform/platform.h"

namespace {

PlatformBulkLimit bulkLimit = nullptr;

}  // namespace

void platformSetBulkLimit(PlatformBulkLimit limit) {
    bulkLimit = limit;
}

// Large pages need a privilege a pilot's account does not hold: committed ordinary pages, which the
// system hands out zeroed and faults in as they are touched.
void* platformAllocateBulk(size_t size) {
    if (size == 0 || (bulkLimit && !bulkLimit(size))) return nullptr;
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void platformReleaseBulk(void* block, size_t) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}
