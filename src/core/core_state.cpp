#include "core/core_state.h"

CoreState core;

int isDebugAirportSet() {
    return core.debugAirport[0] != '\0' ? 1 : 0;
}

int isDebugAirport(const char* ident) {
    if (!isDebugAirportSet() || !ident) return 0;
    const char* a = core.debugAirport;
    const char* b = ident;
    for (;; ++a, ++b) {
        char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (ca != cb) return 0;
        if (ca == '\0') return 1;
    }
}
