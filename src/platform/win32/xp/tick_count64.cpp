// Windows XP has no GetTickCount64, and its loader refuses a program that imports a function it lacks.
// The one caller is MinGW's thread library (its timed waits), linked statically into every program:
// it calls through the import slot defined here, which this object provides before the system's import
// library could. The slot's function uses the system's GetTickCount64 where there is one, and
// otherwise carries GetTickCount on over its wrap every 49.7 days.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/win32/xp/tick_count64.h"

uint64_t carriedTickCount(uint64_t last, uint32_t now) {
    uint64_t high = last & ~uint64_t{0xFFFFFFFF};
    if (now < static_cast<uint32_t>(last)) high += uint64_t{1} << 32;
    return high | now;
}

namespace {

using TickCount64 = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI systemWithoutTickCount64() {
    static std::atomic<uint64_t> last{0};
    uint64_t seen = last.load();
    uint64_t next = 0;
    do {  // the count is read after `seen`, so a lower one can only mean a wrap
        next = carriedTickCount(seen, GetTickCount());
    } while (!last.compare_exchange_weak(seen, next));
    return next;
}

// Resolved on the first call; a race only resolves it twice, to the same answer.
std::atomic<TickCount64> resolved{nullptr};

ULONGLONG WINAPI tickCount64() {
    TickCount64 function = resolved.load();
    if (!function) {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        FARPROC system = kernel ? GetProcAddress(kernel, "GetTickCount64") : nullptr;
        function = system ? reinterpret_cast<TickCount64>(reinterpret_cast<void*>(system))
                          : systemWithoutTickCount64;
        resolved.store(function);
    }
    return function();
}

}  // namespace

extern "C" {
// The name the thread library's call goes through (a 32-bit stdcall import without arguments).
TickCount64 kestrelTickCount64Slot __asm__("__imp__GetTickCount64@0") = tickCount64;
}
