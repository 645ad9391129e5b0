#include <cfloat>

#include "app/entry.h"

// Every build computes the same bits (kestrel.dat, tower positions) only when expressions are evaluated
// in the precision the code names, never in wider registers: on 32-bit x86 the build selects SSE2.
static_assert(FLT_EVAL_METHOD == 0, "floating-point expressions must be evaluated in their own type");

int main(int argc, char** argv) {
    return kestrelMain(argc, argv);
}
