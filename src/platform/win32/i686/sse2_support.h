// Whether the processor can run the 32-bit program, which is compiled for SSE2: the decision of its
// entry point (processor_entry.cpp), apart from the instructions that ask the processor, so that every
// build's tests can put the answers of processors they do not have to it.
//
// Included by code that runs before the C runtime is set up: nothing here may call a library function
// or need a static constructor.
#pragma once

#include <cstdint>

// The answer of CPUID to one leaf, in its registers' order.
struct CpuidAnswer {
    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
};

// Leaf 1's EDX feature bits the SSE2 code needs: the compiler mixes SSE instructions (movaps, xorps)
// in with SSE2 ones.
constexpr uint32_t kCpuidEdxSse = uint32_t{1} << 25;
constexpr uint32_t kCpuidEdxSse2 = uint32_t{1} << 26;

// 1 when `processor` runs SSE2 code, 0 when it must be refused. `processor` gives hasCpuid() (the
// EFLAGS ID bit can be flipped) and cpuid(leaf); a processor without CPUID takes that instruction for
// an illegal one, and a leaf above the highest that leaf 0 names answers with another leaf's data, so
// each is asked only once it is known to answer.
//
// The operating system's part is not asked: SSE code also needs a system that saves the SSE registers
// at each thread switch, and every Windows this program loads on (XP SP3 and later: its imports need
// them) does so on every processor with SSE. User code could only see it by trying an instruction.
template <class Processor>
int processorRunsSse2Code(Processor& processor) {
    if (!processor.hasCpuid()) return 0;
    if (processor.cpuid(0).eax < 1) return 0;
    const uint32_t features = processor.cpuid(1).edx;
    return (features & kCpuidEdxSse) != 0 && (features & kCpuidEdxSse2) != 0 ? 1 : 0;
}
