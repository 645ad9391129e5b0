// The 32-bit program's processor check, with the CPUID answers of processors the test machine is not.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32/i686/sse2_support.h"

#if defined(_WIN32) && defined(__i386__)
#include "platform/win32/i686/processor_entry.h"
#endif

namespace {

// Answers CPUID as one processor does, and fails the test when it is asked what it cannot answer: an
// instruction it lacks, or a leaf above the highest it names.
struct TableProcessor {
    const char* name;
    bool idBitFlips;
    uint32_t highestLeaf;
    uint32_t leaf1Edx;

    bool hasCpuid() const { return idBitFlips; }
    CpuidAnswer cpuid(uint32_t leaf) const {
        EXPECT_TRUE(idBitFlips) << name << ": CPUID asked of a processor without it";
        EXPECT_LE(leaf, highestLeaf) << name << ": leaf " << leaf << " asked";
        return leaf == 0 ? CpuidAnswer{highestLeaf, 0, 0, 0} : CpuidAnswer{0x6B1, 0, 0, leaf1Edx};
    }
};

TEST(Sse2Support, OnlyAProcessorWithSseAndSse2GoesOn) {
    const struct {
        TableProcessor processor;
        int runs;
    } cases[] = {
        {{"a 486 without CPUID", false, 0, 0}, 0},
        {{"CPUID without leaf 1", true, 0, 0}, 0},
        {{"Pentium III", true, 3, 0x0387FBFF}, 0},
        {{"Athlon XP", true, 1, 0x0383FBFF}, 0},
        {{"Pentium 4", true, 2, 0xBFEBFBFF}, 1},
        {{"Athlon 64", true, 1, 0x078BFBFF}, 1},
        {{"a virtual machine that hides SSE", true, 13, kCpuidEdxSse2}, 0},
    };
    for (auto item : cases) EXPECT_EQ(processorRunsSse2Code(item.processor), item.runs) << item.processor.name;
}

#if defined(_WIN32) && defined(__i386__)
// The entry's own questions to the processor, where the 32-bit tests run: each one has SSE2.
TEST(Sse2Support, TheEntryLetsThisProcessorGoOn) {
    EXPECT_EQ(thisProcessorRunsSse2Code(), 1);
}
#endif

}  // namespace
