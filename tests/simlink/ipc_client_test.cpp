// The IPC client against an in-process server: the open handshake and its failures, the queue and its
// limit, the send with its retries, and a copy-back that a hostile server cannot turn against the caller.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "fake_transport.h"
#include "simlink/ipc_client.h"

namespace {

uint32_t u32At(const uint8_t* block, size_t offset) {
    uint32_t value = 0;
    readU32(ByteView{block, 0x8000}, offset, value);
    return value;
}

std::vector<std::string> tail(const std::vector<std::string>& calls, size_t n) {
    return std::vector<std::string>(calls.end() - static_cast<std::ptrdiff_t>(n), calls.end());
}

class IpcClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<FakeServer>();
        installFakeServer(server.get());
    }
    void TearDown() override {
        ipcSetStopCheck(nullptr);
        removeFakeServer();
    }
    void openLink() {
        ASSERT_EQ(ipcOpen(0, &ipcResult), 1) << ipcResultText(ipcResult);
        server->calls.clear();
        server->sends = 0;
    }
    std::unique_ptr<FakeServer> server;
};

TEST_F(IpcClientTest, OpenShakesHandsOnceWhenBothVersionsAnswer) {
    ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
    EXPECT_EQ(ipcResult, kIpcOk);
    EXPECT_EQ(ipcLink.fsuipcVersion, 0x20000000u);
    EXPECT_EQ(ipcLink.fsVersion, 9u);  // the 0xFADE marker is dropped
    EXPECT_EQ(ipcLink.next, ipcLink.view);
    std::vector<std::string> expected = {"find UIPCMAIN",
                                         "find FS98MAIN",
                                         "register FsasmLib:IPC",
                                         "atom FsasmLib:IPC:1A2B:1",
                                         "mapping FsasmLib:IPC:1A2B:1",
                                         "map",
                                         "send",
                                         "sleep 100"};
    EXPECT_EQ(server->calls, expected);
    EXPECT_EQ(server->timeouts, std::vector<uint32_t>{2000});

    // The first pass: two reads with their list references, the library version behind them, the end.
    const uint8_t* b = server->block;
    EXPECT_EQ(u32At(b, 0), 1u);
    EXPECT_EQ(u32At(b, 4), 0x3304u);
    EXPECT_EQ(u32At(b, 8), 4u);
    EXPECT_EQ(u32At(b, 12), 1u);
    EXPECT_EQ(u32At(b, 20), 1u);
    EXPECT_EQ(u32At(b, 24), 0x3308u);
    EXPECT_EQ(u32At(b, 32), 2u);
    EXPECT_EQ(u32At(b, 40), 2u);
    EXPECT_EQ(u32At(b, 44), 0x330Au);
    EXPECT_EQ(u32At(b, 48), 2u);
    EXPECT_EQ(b[52], 0xEC);
    EXPECT_EQ(b[53], 0x03);
    EXPECT_EQ(u32At(b, 54), 0u);
    EXPECT_EQ(server->records,
              std::vector<std::string>{"{\"msg\":1,\"time\":0.000,\"libraryVersion\":1004}"});
}

TEST_F(IpcClientTest, HandshakeRepeatsUntilBothVersionsArriveAndWritesTheLibraryVersionOnce) {
    int zeroed = 2;
    server->tamper = [&](uint8_t* block) {
        if (zeroed-- > 0) std::memset(block + 16, 0, 4);  // the interface version read comes back 0
    };
    ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
    EXPECT_EQ(server->sends, 3);
    EXPECT_EQ(server->count("sleep 100"), 3);
    EXPECT_EQ(server->records.size(), 1u);  // only the first pass writes
}

TEST_F(IpcClientTest, VersionZeroInEveryPassFailsByTheClassFoundAndReleasesEverything) {
    for (bool uipc : {true, false}) {
        SCOPED_TRACE(uipc ? "UIPCMAIN" : "FS98MAIN");
        server = std::make_unique<FakeServer>();
        server->uipcMain = uipc;
        server->options.seed.interfaceVersion = 0;
        server->options.seed.simVersion = 0;
        installFakeServer(server.get());
        EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
        EXPECT_EQ(ipcResult, uipc ? kIpcWrongVersion : kIpcWrongVersionRemote);
        EXPECT_EQ(server->sends, 5);
        EXPECT_EQ(tail(server->calls, 2), (std::vector<std::string>{"unmap", "close mapping"}));
        EXPECT_EQ(ipcLink.view, nullptr);
        EXPECT_EQ(ipcLink.atom, 0);
        EXPECT_EQ(ipcLink.mappingHandle, nullptr);
        EXPECT_EQ(ipcLink.serverWindow, nullptr);
        EXPECT_EQ(ipcLink.messageId, 0u);
    }
}

TEST_F(IpcClientTest, VersionChecks) {
    struct Case {
        uint32_t interfaceVersion, simVersion, requested, result;
    } cases[] = {
        {0x19980004, 0xFADE0009, 0, kIpcWrongVersionRemote},  // the interface version must exceed it
        {0x19980005, 0xFADE0009, 0, kIpcOk},
        {0x20000000, 0xFADF0009, 0, kIpcWrongVersionRemote},  // no marker
        {0x20000000, 0xFADE0009, 8, kIpcWrongSimVersion},
        {0x20000000, 0xFADE0009, 9, kIpcOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interfaceVersion);
        server = std::make_unique<FakeServer>();
        server->options.seed.interfaceVersion = c.interfaceVersion;
        server->options.seed.simVersion = c.simVersion;
        installFakeServer(server.get());
        EXPECT_EQ(ipcOpen(c.requested, &ipcResult), c.result == kIpcOk ? 1 : 0);
        EXPECT_EQ(ipcResult, c.result);
        EXPECT_EQ(ipcLink.view != nullptr, c.result == kIpcOk);
    }
}

TEST_F(IpcClientTest, OpenFailuresReleaseWhatWasTakenAndEveryNamedAttemptCounts) {
    server->fs98Main = false;
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoServer);
    EXPECT_EQ(server->count("register"), 0);

    server->fs98Main = true;
    server->failRegister = true;
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoMessage);
    EXPECT_EQ(ipcLink.openCount, 0u);  // no block was named

    server->failRegister = false;
    server->failAtom = true;
    server->calls.clear();
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoAtom);
    EXPECT_EQ(server->calls.back(), "atom FsasmLib:IPC:1A2B:1");

    server->failAtom = false;
    server->mappingExists = true;
    server->calls.clear();
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoMapping);
    EXPECT_EQ(tail(server->calls, 2),
              (std::vector<std::string>{"mapping FsasmLib:IPC:1A2B:2", "close mapping"}));

    server->mappingExists = false;
    server->failMapping = true;
    server->calls.clear();
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoMapping);
    EXPECT_EQ(server->calls.back(), "mapping FsasmLib:IPC:1A2B:3");

    server->failMapping = false;
    server->failView = true;
    server->calls.clear();
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNoView);
    EXPECT_EQ(tail(server->calls, 2), (std::vector<std::string>{"map", "close mapping"}));

    server->failView = false;
    server->calls.clear();
    EXPECT_EQ(ipcOpen(0, &ipcResult), 1);
    EXPECT_EQ(server->calls[3], "atom FsasmLib:IPC:1A2B:5");
}

TEST_F(IpcClientTest, OpenOnAnOpenLinkLeavesItWorking) {
    openLink();
    uint8_t* view = ipcLink.view;
    EXPECT_EQ(ipcOpen(0, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcAlreadyOpen);
    EXPECT_EQ(ipcLink.view, view);
    EXPECT_EQ(server->sends, 0);
    uint8_t version[4] = {};
    EXPECT_EQ(ipcRead(0x3304, 4, version, &ipcResult), 1);
    EXPECT_EQ(ipcProcess(&ipcResult), 1);
    EXPECT_EQ(version[3], 0x20);
}

TEST_F(IpcClientTest, ClosedLinkAndEmptyQueue) {
    uint8_t byte = 0;
    EXPECT_EQ(ipcRead(0x3364, 1, &byte, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNotOpen);
    EXPECT_EQ(ipcWrite(0x3364, 1, &byte, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNotOpen);
    EXPECT_EQ(ipcProcess(&ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNotOpen);
    ipcClose();  // closing a closed link does nothing
    EXPECT_EQ(server->calls.size(), 0u);

    openLink();
    EXPECT_EQ(ipcProcess(&ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNothingQueued);
    EXPECT_EQ(server->sends, 0);
    ipcClose();
    ipcClose();
    EXPECT_EQ(server->count("unmap"), 1);
}

TEST_F(IpcClientTest, QueueLimitIsExactAndOverflowSafe) {
    openLink();
    std::memset(server->block, 0xAA, sizeof server->block);
    // A read whose record and end marker end exactly at 32512 bytes.
    std::vector<uint8_t> big(32492, 0x55);
    EXPECT_EQ(ipcRead(0, 32492, big.data(), &ipcResult), 1);
    EXPECT_EQ(ipcLink.next - ipcLink.view, 32508);
    EXPECT_EQ(server->block[16], 0);  // data zeroed when queued
    EXPECT_EQ(server->block[16 + 32491], 0);
    EXPECT_EQ(ipcRead(0, 0, nullptr, &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcQueueFull);
    EXPECT_EQ(ipcLink.next - ipcLink.view, 32508);
    EXPECT_EQ(ipcProcess(&ipcResult), 1);
    EXPECT_EQ(big[0x3304 + 3], 0x20);  // the server filled it from offset 0 on

    std::vector<uint8_t> data(32497, 1);
    EXPECT_EQ(ipcWrite(0x100, 32497, data.data(), &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcQueueFull);
    EXPECT_EQ(ipcWrite(0x100, 32496, data.data(), &ipcResult), 1);
    EXPECT_EQ(ipcWrite(0x100, 0, nullptr, &ipcResult), 0);
    EXPECT_EQ(ipcProcess(&ipcResult), 1);

    // Sizes near 2^32 must not wrap around the limit test.
    EXPECT_EQ(ipcRead(0, 0xFFFFFFFFu, big.data(), &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcQueueFull);
    EXPECT_EQ(ipcWrite(0, 0xFFFFFFF4u, data.data(), &ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcQueueFull);
    EXPECT_EQ(ipcLink.next, ipcLink.view);
}

TEST_F(IpcClientTest, BadReplyLeavesDestinationsAndEmptiesTheQueue) {
    openLink();
    server->options.reply = 0;
    server->resetCore();
    uint8_t version[4] = {1, 2, 3, 4};
    ipcRead(0x3304, 4, version, &ipcResult);
    EXPECT_EQ(ipcProcess(&ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcBadReply);
    EXPECT_EQ(version[0], 1);
    EXPECT_EQ(version[3], 4);
    EXPECT_EQ(ipcLink.next, ipcLink.view);
    EXPECT_EQ(ipcProcess(&ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcNothingQueued);
}

TEST_F(IpcClientTest, UnansweredSendsAreTriedNineTimesThenTimeOutOrFailByTheLastError) {
    for (uint32_t lastError : {0u, 5u}) {
        SCOPED_TRACE(lastError);
        openLink();
        server->failingSends = -1;
        server->sendError = lastError;
        uint8_t version[4] = {7, 7, 7, 7};
        ipcRead(0x3304, 4, version, &ipcResult);
        EXPECT_EQ(ipcProcess(&ipcResult), 0);
        EXPECT_EQ(ipcResult, lastError == 0 ? kIpcTimedOut : kIpcSendFailed);
        std::vector<std::string> expected;
        for (int i = 0; i < 9; ++i) {
            expected.push_back("send");
            expected.push_back("sleep 100");
        }
        EXPECT_EQ(server->calls, expected);
        EXPECT_EQ(std::vector<uint32_t>(server->timeouts.end() - 9, server->timeouts.end()),
                  std::vector<uint32_t>(9, 2000));
        EXPECT_EQ(version[0], 7);
        EXPECT_EQ(ipcLink.next, ipcLink.view);
        ipcClose();
        server->failingSends = 0;
    }
}

int stopAlways() {
    return 1;
}

TEST_F(IpcClientTest, AStopEndsTheExchangeBeforeItsFirstSendAsATimeout) {
    openLink();
    ipcSetStopCheck(stopAlways);
    server->failingSends = -1;
    server->sendError = 5;  // all nine would end as a failed send
    ipcRead(0x3304, 4, nullptr, &ipcResult);
    EXPECT_EQ(ipcProcess(&ipcResult), 0);
    EXPECT_EQ(ipcResult, kIpcTimedOut);
    EXPECT_EQ(server->sends, 0);
}

TEST_F(IpcClientTest, ConsecutiveOpensNeverShareAnAtomAndShutdownDeletesTheLast) {
    std::vector<uint16_t> atoms;
    for (bool failing : {false, true, false}) {
        server->failView = failing;
        EXPECT_EQ(ipcOpen(0, &ipcResult), failing ? 0 : 1);
        atoms.push_back(failing ? ipcLink.keptAtom : ipcLink.atom);
        ipcClose();
        EXPECT_EQ(server->liveAtoms(), 1);  // the closed link's, kept until the next open has its own
    }
    EXPECT_NE(atoms[0], atoms[1]);
    EXPECT_NE(atoms[1], atoms[2]);
    ipcShutdown();
    EXPECT_EQ(server->liveAtoms(), 0);
}

TEST_F(IpcClientTest, NullDestinationAndSizeZeroAreSentButNotCopied) {
    openLink();
    uint8_t marker[4] = {9, 9, 9, 9};
    uint8_t version[4] = {};
    EXPECT_EQ(ipcRead(0x3304, 4, nullptr, &ipcResult), 1);
    EXPECT_EQ(ipcRead(0x3308, 0, marker, &ipcResult), 1);
    EXPECT_EQ(ipcRead(0x3304, 4, version, &ipcResult), 1);
    EXPECT_EQ(u32At(server->block, 12), 0u);  // no buffer: reference 0
    EXPECT_EQ(u32At(server->block, 20 + 12), 2u);
    EXPECT_EQ(ipcProcess(&ipcResult), 1);
    EXPECT_EQ(marker[0], 9);
    EXPECT_EQ(version[3], 0x20);
}

// Reads queued at known positions: 0x3304 (4 bytes) at 0, 0x3308 (4) at 20, 0x3304 (4) at 40.
struct ThreeReads {
    uint8_t first[4] = {}, second[4] = {}, third[4] = {};
    uint8_t guard[16] = {};
    void queue() {
        ipcRead(0x3304, 4, first, &ipcResult);
        ipcRead(0x3308, 4, second, &ipcResult);
        ipcRead(0x3304, 4, third, &ipcResult);
    }
};

TEST_F(IpcClientTest, HostileServerCannotRedirectTheCopyBack) {
    openLink();
    struct {
        ThreeReads reads;
        uint8_t after[64];
    } memory;
    std::memset(memory.after, 0x77, sizeof memory.after);
    server->tamper = [](uint8_t* block) {
        putU32(block + 12, 3);             // the first record names the third record's buffer
        putU32(block + 20 + 12, 0xFFFF);   // a reference into nowhere
        std::memset(block + 16, 0xEE, 4);  // the first record's own data
    };
    memory.reads.queue();
    EXPECT_EQ(ipcProcess(&ipcResult), 1);
    EXPECT_EQ(memory.reads.first[3], 0xEE);  // its own 4 bytes and no more
    EXPECT_EQ(memory.reads.second[3], 0xFA);
    EXPECT_EQ(memory.reads.third[3], 0x20);
    for (uint8_t b : memory.after)
        ASSERT_EQ(b, 0x77);
    for (uint8_t b : memory.reads.guard)
        ASSERT_EQ(b, 0);
}

TEST_F(IpcClientTest, ABlockTheServerCutShortOrChangedIsBadDataAndCopiesNothing) {
    struct Case {
        uint32_t at;  // a word of the second record's header
        uint32_t value;
        uint32_t left;  // the word afterwards
    } cases[] = {
        {20, 0, 0},            // an end marker in the middle of the request
        {20, 2, 2},            // a read turned into a write
        {20, 0x1234, 0},       // an unknown identifier is cleared
        {24, 0x3304, 0x3304},  // another offset than the one asked for
        {28, 2, 2},            // a shorter read
        {28, 0x7000, 0x7000},  // a read claiming 28 KiB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at << ": " << c.value);
        openLink();
        server->tamper = [&](uint8_t* block) { putU32(block + c.at, c.value); };
        ThreeReads reads;
        std::memset(reads.first, 0x55, sizeof reads.first);
        reads.queue();
        EXPECT_EQ(ipcProcess(&ipcResult), 0);
        server->tamper = nullptr;
        EXPECT_EQ(ipcResult, kIpcBadReply);
        EXPECT_EQ(reads.first[3], 0x55);  // not even the records before the cut are copied
        EXPECT_EQ(reads.second[3], 0);
        EXPECT_EQ(reads.third[3], 0);
        EXPECT_EQ(u32At(server->block, c.at), c.left);
        EXPECT_EQ(ipcLink.next, ipcLink.view);  // the queue is empty for the next exchange
        ipcClose();
    }
}

TEST(IpcResultText, CoversTheTableAndNothingBeyond) {
    EXPECT_STREQ(ipcResultText(0), "Okay");
    EXPECT_STREQ(ipcResultText(15), "Read or Write request cannot be added, memory for Process is full");
    EXPECT_STREQ(ipcResultText(16), "Unknown IPC result");
    EXPECT_STREQ(ipcResultText(0xFFFFFFFFu), "Unknown IPC result");
}

}  // namespace
