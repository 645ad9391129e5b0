// The stand-in for GetTickCount64 that the 32-bit programs carry for Windows XP (tick_count64.cpp).
#pragma once

#include <cstdint>

// The 64-bit count after `last` when GetTickCount now reads `now`: a value below last's low 32 bits
// means they wrapped (every 49.7 days) since.
uint64_t carriedTickCount(uint64_t last, uint32_t now);
