// The 32-bit programs' own GetTickCount64, for Windows XP: the system's where there is one, else
// GetTickCount carried on over its wraps.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/xp/tick_count64.h"

namespace {

TEST(TickCount64StandIn, CarriesTheCountOverItsWraps) {
    EXPECT_EQ(carriedTickCount(0x100000005, 5), 0x100000005u);  // the same count: no wrap
    EXPECT_EQ(carriedTickCount(0x1FFFFFFF0, 3), 0x200000003u);
    // Called as the thread library calls it, through the import slot: here the system's count.
    const DWORD before = GetTickCount();
    EXPECT_LE(static_cast<uint32_t>(GetTickCount64()) - before, 1000u);
}

}  // namespace
