// kestrel-sim's processing of a client's block, as it serves any program that claims to be a client:
// whether the block writes the tower position (the check of the tower-write fault), the records carried
// out against the offset memory, and the JSON line recording the writes.
//
// The input is the block (at most 32 KiB; the server's block is the file mapping of that size, and a
// shorter input is a shorter block, so a read past its end shows).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "sim_core.h"

namespace {

constexpr size_t kBlockSize = 0x8000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t length = size < kBlockSize ? size : kBlockSize;
    std::unique_ptr<uint8_t[]> block(new uint8_t[length]);
    if (length) std::memcpy(block.get(), data, length);

    static sim::OffsetMemory memory;
    memory = sim::OffsetMemory{};
    sim::seedMemory(memory, sim::Seed{});

    sim::writesTowerPosition(block.get(), length);
    const sim::BlockResult result = sim::processBlock(block.get(), length, memory);
    sim::recordLine(1, 0.0, result.writes);
    return 0;
}
