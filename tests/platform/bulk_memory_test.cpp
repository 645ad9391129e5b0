#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace {

TEST(BulkMemory, EveryByteOfABlockHoldsWhatWasWritten) {
    const size_t sizes[] = {1, 4095, 4096, (1u << 20) - 1, 1u << 20, (2u << 20) + 1, (6u << 20) + 3};
    for (size_t size : sizes) {
        auto* block = static_cast<uint8_t*>(platformAllocateBulk(size));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
        // A second block alongside must not share a byte with the first.
        auto* other = static_cast<uint8_t*>(platformAllocateBulk(size));
        ASSERT_NE(other, nullptr) << size;
        for (size_t i = 0; i < size; ++i) {
            block[i] = static_cast<uint8_t>(i * 7 + 1);
            other[i] = static_cast<uint8_t>(~block[i]);
        }
        size_t wrong = 0;
        for (size_t i = 0; i < size; ++i)
            wrong += block[i] != static_cast<uint8_t>(i * 7 + 1) || other[i] != static_cast<uint8_t>(~block[i]);
        EXPECT_EQ(wrong, 0u) << size;
        platformReleaseBulk(other, size);
        platformReleaseBulk(block, size);
    }
}

TEST(BulkMemory, NothingIsAllocatedForNoBytesAndNullIsReleasedAsNothing) {
    EXPECT_EQ(platformAllocateBulk(0), nullptr);
    platformReleaseBulk(nullptr, 0);
    platformReleaseBulk(nullptr, 1u << 20);
}

}  // namespace
