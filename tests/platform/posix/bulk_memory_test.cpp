#include <sys/mman.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFromHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kFromHeap = true;
#else
constexpr bool kFromHeap = false;
#endif
#else
constexpr bool kFromHeap = false;
#endif

// The load writes the block whole right after taking it: it must come resident, not fault in page by
// page as it is written.
TEST(BulkMemoryPosix, ABlockIsResidentBeforeItIsWritten) {
    if (kFromHeap) GTEST_SKIP() << "sanitized builds take bulk blocks from the heap";
    const size_t page = 4096;
    const size_t sizes[] = {3 * page, (2u << 20) + page, 6u << 20};
    for (size_t size : sizes) {
        void* block = platformAllocateBulk(size);
        ASSERT_NE(block, nullptr) << size;
        std::vector<unsigned char> resident((size + page - 1) / page);
        ASSERT_EQ(::mincore(block, size, resident.data()), 0) << size;
        size_t absent = 0;
        for (unsigned char r : resident)
            absent += (r & 1) == 0;
        EXPECT_EQ(absent, 0u) << size;
        platformReleaseBulk(block, size);
    }
}

}  // namespace
