// The client side of the simulator interface's IPC protocol: one link per process. Reads and writes of
// numbered offsets are queued in a 32 KiB shared block and sent with one message; the server fills in
// the reads, and the client copies them to the callers' buffers.
//
// Every operation sets the result code through `result` (the program passes &ipcResult); the text of a
// code is ipcResultText(code). The client writes nothing to the log: its callers do.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ipc_transport.h"

constexpr uint32_t kIpcBlockSize = 0x8000;     // the shared block (the file mapping)
constexpr uint32_t kIpcRequestLimit = 0x7F00;  // queued records plus the end marker stay within this
constexpr uint16_t kIpcLibraryVersion = 1004;  // written to 0x330A during the handshake
constexpr uint32_t kIpcSendAttempts = 9;
constexpr uint32_t kIpcSendTimeoutMs = 2000;
constexpr uint32_t kIpcRetrySleepMs = 100;
// The handshake accepts an interface version word above this and a simulator word with this high half.
constexpr uint32_t kIpcMinimumInterfaceVersion = 0x19980004;
constexpr uint32_t kIpcSimMarker = 0xFADE;

constexpr uint32_t kIpcReadRecord = 1;
constexpr uint32_t kIpcWriteRecord = 2;
constexpr uint32_t kIpcReadHeaderSize = 16;
constexpr uint32_t kIpcWriteHeaderSize = 12;

// The most records one block can hold: write records with no data.
constexpr uint32_t kIpcMaxRecords = (kIpcRequestLimit - 4) / kIpcWriteHeaderSize;

// Result codes; the table of texts is indexed by them.
enum : uint32_t {
    kIpcOk = 0,
    kIpcAlreadyOpen = 1,
    kIpcNoServer = 2,
    kIpcNoMessage = 3,
    kIpcNoAtom = 4,
    kIpcNoMapping = 5,
    kIpcNoView = 6,
    kIpcWrongVersion = 7,
    kIpcWrongSimVersion = 8,
    kIpcNotOpen = 9,
    kIpcNothingQueued = 10,
    kIpcTimedOut = 11,
    kIpcSendFailed = 12,
    kIpcBadReply = 13,
    kIpcWrongVersionRemote = 14,
    kIpcQueueFull = 15,
    kIpcResultCount = 16,
};

// What the client remembers of a queued record: where it lies in the block and, for a read, where its
// bytes go. The copy-back takes sizes and destinations from here, never from the block.
struct IpcQueuedRecord {
    uint32_t position = 0;
    uint32_t kind = 0;  // kIpcReadRecord or kIpcWriteRecord
    uint32_t offset = 0;
    uint32_t size = 0;
    void* destination = nullptr;
};

struct IpcLink {
    // The version words the last handshake read, as read after a failed open; after a successful one
    // fsVersion keeps only its low 16 bits.
    uint32_t fsVersion = 0;      // simulator version word
    uint32_t fsuipcVersion = 0;  // interface module version
    uint8_t* view = nullptr;     // the mapped block; the link is open exactly when this is set
    uint8_t* next = nullptr;     // where the next record goes; == view when nothing is queued
    uint16_t atom = 0;           // names the block
    // The atom of the last closed link: deleted only once the next open has added its own, so that two
    // consecutive opens never get the same number (a server may cache its view of a block by it).
    uint16_t keptAtom = 0;
    uint32_t messageId = 0;  // the registered message
    IpcWindow serverWindow = nullptr;
    IpcMapping mappingHandle = nullptr;
    uint32_t openCount = 0;  // open attempts that named a block; never reset, so every name is fresh
    uint32_t queuedCount = 0;
    IpcQueuedRecord queued[kIpcMaxRecords];
};

extern IpcLink ipcLink;
extern uint32_t ipcResult;  // the result code of the last operation, as the program passes it

// The transport under the link: null selects the platform's. Tests put their own server behind it.
void ipcUseTransport(const IpcTransport* transport);

// Asked before every send of an exchange, the first included: when it returns non-zero, the exchange
// gives up as timed out without sending (again), so a stop request is not held up by a simulator that
// answers slowly or not at all. Null (the default) never gives up early.
using IpcStopCheck = int (*)();
void ipcSetStopCheck(IpcStopCheck stopRequested);
// 1 when the installed stop check asks to stop: the callers then give up without logging a failure.
int ipcStopRequested();

int ipcOpen(uint32_t requestedSimVersion, uint32_t* result);
// Closes the link; its atom is kept until the next open has added its own.
void ipcClose();
// Closes the link for good, deleting the kept atom too: for the end of the run.
void ipcShutdown();
int ipcRead(uint32_t offset, uint32_t size, void* destination, uint32_t* result);
int ipcWrite(uint32_t offset, uint32_t size, const void* source, uint32_t* result);
int ipcProcess(uint32_t* result);

// The name of the block (and of its atom) that open attempt `openCount` of process `processId` uses.
constexpr size_t kIpcBlockNameSize = 32;
void ipcBlockName(uint32_t processId, uint32_t openCount, char (&name)[kIpcBlockNameSize]);

// The message for a result code; a code outside the table gets a text of its own.
const char* ipcResultText(uint32_t code);
