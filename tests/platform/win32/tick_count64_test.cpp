// The 32-bit programs' own GetTickCount64, for Windows XP: the system's where there is one, else
// GetTickCount carried on over its wraps.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/xp/tick_count64.h"

namespace {

TEST(TickCount64StandIn, CarriesTheCountOverItsWraps) {
    const struct {
        uint64_t last;
        uint32_t now;
        uint64_t carried;
    } cases[] = {{0, 5, 5},
                 {0xFFFFFFF0, 0xFFFFFFF8, 0xFFFFFFF8},
                 {0xFFFFFFF0, 3, 0x100000003},
                 {0x1FFFFFFF0, 3, 0x200000003},
                 {0x100000005, 5, 0x100000005}};
    for (const auto& c : cases)
        EXPECT_EQ(carriedTickCount(c.last, c.now), c.carried) << c.last << " " << c.now;

    // Called as the thread library calls it, through the import slot: here the system's count.
    const DWORD before = GetTickCount();
    const uint32_t low = static_cast<uint32_t>(GetTickCount64());
    EXPECT_LE(low - before, 1000u);
}

}  // namespace
