#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_BULK_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_BULK_FROM_HEAP 1
#endif
#endif

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
constexpr size_t kPage = 4096;

#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14
#endif

size_t roundUp(size_t size, size_t unit) {
    return (size + unit - 1) / unit * unit;
}

// What the mapping of a block of `size` bytes spans: whole large pages from a megabyte or two on
// (the last one only partly used), whole small pages below that.
size_t mappedSize(size_t size) {
    return size >= kLargePage / 2 ? roundUp(size, kLargePage) : roundUp(size, kPage);
}

PlatformBulkLimit bulkLimit = nullptr;

}  // namespace

void platformSetBulkLimit(PlatformBulkLimit limit) {
    bulkLimit = limit;
}

void* platformAllocateBulk(size_t size) {
    if (size == 0 || size > SIZE_MAX - 2 * kLargePage || (bulkLimit && !bulkLimit(size))) return nullptr;
#ifdef KESTREL_BULK_FROM_HEAP
    // The address sanitizer sees past the end of heap blocks only.
    return std::malloc(size);
#else
    const size_t length = mappedSize(size);
    if (length < kLargePage) {
        void* block = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                             -1, 0);
        return block == MAP_FAILED ? nullptr : block;
    }
    // Large pages only fill aligned stretches: map one more, keep the aligned part.
    void* mapped =
        ::mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = roundUp(start, kLargePage);
    if (aligned > start) ::munmap(mapped, aligned - start);
    if (aligned + length < start + length + kLargePage)
        ::munmap(reinterpret_cast<void*>(aligned + length), start + kLargePage - aligned);
    void* block = reinterpret_cast<void*>(aligned);
    // Advice: a system without transparent large pages leaves ordinary pages.
    ::madvise(block, length, MADV_HUGEPAGE);
    if (::madvise(block, length, MADV_POPULATE_WRITE) != 0) {
        // A kernel before 5.14: one write per small page faults in whatever backs it.
        volatile char* bytes = static_cast<char*>(block);
        for (size_t at = 0; at < length; at += kPage)
            bytes[at] = 0;
    }
    return block;
#endif
}

void platformReleaseBulk(void* block, size_t size) {
    if (!block) return;
#ifdef KESTREL_BULK_FROM_HEAP
    (void)size;
    std::free(block);
#else
    ::munmap(block, mappedSize(size));
#endif
}
