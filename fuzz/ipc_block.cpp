// The IPC block as the server leaves it, after a queue of reads and writes: the client's checks of a
// block the server changed and its copy-back into the callers' buffers, through the in-process fake
// transport with kestrel-sim's core as the server.
//
// Input: two parts separated by "--kestrel-part--" (fuzz_support.h).
// Part 0: a mode byte, then 5-byte operations, each kind (u8), offset (u16 LE), size (u16 LE); the kind
// modulo 5 is 0 a read into a buffer of its own of exactly that size, 1 a read without a buffer, 2 a
// write of the bytes 0, 1, 2, ..., 3 a write without data, 4 a send of what is queued. What is still
// queued at the end is sent too. The mode modulo 4: 0 the server carries the block out and answers 1,
// 1 it answers 0 without looking at it, 2 it answers 2, 3 it never answers.
// Part 1: what the server writes into the block after carrying it out, before the client looks at it:
// patches of position (u16 LE, modulo the block size), length (u8) and that many bytes (as far as the
// input and the block reach).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fake_transport.h"
#include "fuzz_support.h"
#include "simlink/ipc_client.h"

namespace {

uint16_t u16At(ByteView v, size_t at) {
    uint16_t value = 0;
    readU16(v, at, value);
    return value;
}

void applyPatches(ByteView patches, uint8_t* block) {
    size_t at = 0;
    while (at + 3 <= patches.size) {
        const uint32_t position = u16At(patches, at) % kIpcBlockSize;
        size_t length = patches.data[at + 2];
        at += 3;
        if (length > patches.size - at) length = patches.size - at;
        if (length > kIpcBlockSize - position) length = kIpcBlockSize - position;
        std::memcpy(block + position, patches.data + at, length);
        at += length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<ByteView> parts = fuzz::splitParts(data, size);
    const ByteView ops = parts[0];
    const ByteView patches = parts.size() > 1 ? parts[1] : ByteView{};

    static FakeServer* const server = new FakeServer;  // one block for every run, reset for each
    *server = FakeServer{};
    server->recording = false;  // the server's record of the writes is kestrel-sim's, fuzzed by sim_block
    installFakeServer(server);
    uint32_t result = 0;
    if (!ipcOpen(0, &result)) {
        removeFakeServer();
        return 0;
    }
    const uint8_t mode = ops.size > 0 ? ops.data[0] % 4 : 0;
    if (mode == 1 || mode == 2) {
        server->options.reply = mode == 1 ? 0 : 2;
        server->resetCore();
    } else if (mode == 3) {
        server->failingSends = -1;
    }
    server->tamper = [patches](uint8_t* block) { applyPatches(patches, block); };

    static const std::vector<uint8_t> pattern = [] {
        std::vector<uint8_t> bytes(0x10000);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i);
        return bytes;
    }();
    std::vector<std::unique_ptr<uint8_t[]>> buffers;
    for (size_t at = 1; at + 5 <= ops.size; at += 5) {
        const uint8_t kind = ops.data[at] % 5;
        const uint16_t offset = u16At(ops, at + 1);
        const uint16_t length = u16At(ops, at + 3);
        switch (kind) {
            case 0:
                buffers.emplace_back(new uint8_t[length]);
                ipcRead(offset, length, buffers.back().get(), &result);
                break;
            case 1:
                ipcRead(offset, length, nullptr, &result);
                break;
            case 2:
                ipcWrite(offset, length, pattern.data(), &result);
                break;
            case 3:
                ipcWrite(offset, length, nullptr, &result);
                break;
            default:
                ipcProcess(&result);
                break;
        }
    }
    ipcProcess(&result);
    ipcShutdown();
    removeFakeServer();
    return 0;
}
