// The processors this process may run on (the first 64), as a bit set a test can narrow and give back.
#pragma once

#include <cstdint>

uint64_t processorMask();  // 0 when the system does not tell
bool setProcessorMask(uint64_t mask);
