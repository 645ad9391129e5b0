#include "simlink/ipc_client.h"

#include <cstdio>
#include <cstring>

#include "core/bytes.h"
#include "simlink/fsuipc_offsets.h"

IpcLink ipcLink;
uint32_t ipcResult = 0;

namespace {

constexpr const char* kMessageName = "FsasmLib:IPC";
constexpr uint32_t kHandshakePasses = 5;
constexpr uint32_t kHandshakeSleepMs = 100;

const char* const kResultTexts[kIpcResultCount] = {
    "Okay",
    "Attempt to Open when already Open",
    "Cannot link to FSUIPC or WideClient",
    "Failed to Register common message with Windows",
    "Failed to create Atom for mapping filename",
    "Failed to create a file mapping object",
    "Failed to open a view to the file map",
    "Incorrect version of FSUIPC, or not FSUIPC",
    "Sim is not version requested",
    "Call cannot execute, link not Open",
    "Call cannot execute: no requests accumulated",
    "IPC timed out all retries",
    "IPC sendmessage failed all retries",
    "IPC request contains bad data",
    "Maybe running on WideClient, but FS not running on Server, or wrong FSUIPC",
    "Read or Write request cannot be added, memory for Process is full",
};

const IpcTransport* transport = nullptr;
IpcStopCheck stopCheck = nullptr;

const IpcTransport& link() {
    return transport ? *transport : *platformIpcTransport();
}

int fail(uint32_t* result, uint32_t code) {
    *result = code;
    return 0;
}

uint32_t queuedBytes() {
    return static_cast<uint32_t>(ipcLink.next - ipcLink.view);
}

void deleteKeptAtom() {
    if (ipcLink.keptAtom != 0) link().deleteAtom(ipcLink.keptAtom);
    ipcLink.keptAtom = 0;
}

// Releases whatever a (half) open link holds, in the order the server side expects. The atom is kept
// back for the next open to delete once it holds a new one.
void release() {
    const IpcTransport& t = link();
    ipcLink.serverWindow = nullptr;
    ipcLink.messageId = 0;
    if (ipcLink.atom != 0) {
        deleteKeptAtom();  // none once an open has added its own atom; a guard
        ipcLink.keptAtom = ipcLink.atom;
    }
    ipcLink.atom = 0;
    if (ipcLink.view) t.unmapView(ipcLink.view);
    ipcLink.view = nullptr;
    ipcLink.next = nullptr;
    ipcLink.queuedCount = 0;
    if (ipcLink.mappingHandle) t.closeMapping(ipcLink.mappingHandle);
    ipcLink.mappingHandle = nullptr;
}

int failOpen(uint32_t* result, uint32_t code) {
    release();
    return fail(result, code);
}

// Room for a record of `header` + `size` bytes and the end marker behind it, computed without overflow
// for any size a caller passes.
bool fits(uint32_t header, uint32_t size) {
    uint64_t end = static_cast<uint64_t>(queuedBytes()) + header + size + 4;
    return end <= kIpcRequestLimit && ipcLink.queuedCount < kIpcMaxRecords;
}

IpcQueuedRecord& queueRecord(uint32_t kind, uint32_t offset, uint32_t size) {
    IpcQueuedRecord& record = ipcLink.queued[ipcLink.queuedCount++];
    record = IpcQueuedRecord{queuedBytes(), kind, offset, size, nullptr};
    putU32(ipcLink.next, kind);
    putU32(ipcLink.next + 4, offset);
    putU32(ipcLink.next + 8, size);
    return record;
}

// Whether the server left every queued record as the client queued it. A block whose walk the server
// cut short (an end marker, or an identifier it does not know, which is cleared) or whose record kinds
// it changed did not carry out the request: its reads hold no data, so the exchange counts as failed
// rather than handing zeros to the callers as values. A record whose offset or size came back changed
// answers another request than the one queued (a shorter read leaves zeros in the rest of the data), so
// it fails the exchange too.
bool blockHonoured() {
    ByteView block{ipcLink.view, kIpcBlockSize};
    for (uint32_t i = 0; i < ipcLink.queuedCount; ++i) {
        const IpcQueuedRecord& record = ipcLink.queued[i];
        uint32_t identifier = 0, offset = 0, size = 0;
        if (!readU32(block, record.position, identifier)) return false;
        if (identifier != record.kind) {
            if (identifier != 0 && identifier != kIpcReadRecord && identifier != kIpcWriteRecord)
                putU32(ipcLink.view + record.position, 0);
            return false;
        }
        if (!readU32(block, record.position + 4, offset) || !readU32(block, record.position + 8, size) ||
            offset != record.offset || size != record.size)
            return false;
    }
    return true;
}

// Copies the reads back to their callers from the client's own list: nothing the server writes into
// the block's headers changes what is copied or where.
void copyBack() {
    for (uint32_t i = 0; i < ipcLink.queuedCount; ++i) {
        const IpcQueuedRecord& record = ipcLink.queued[i];
        if (record.kind == kIpcReadRecord && record.destination && record.size != 0)
            std::memcpy(record.destination, ipcLink.view + record.position + kIpcReadHeaderSize, record.size);
    }
}

// One pass of the version handshake: both version words, and in the first pass the library version.
int handshakePass(uint32_t pass, uint32_t* result) {
    uint8_t interfaceVersion[4] = {};
    uint8_t simVersion[4] = {};
    ipcRead(fsuipc::kInterfaceVersion, 4, interfaceVersion, result);
    ipcRead(fsuipc::kSimVersion, 4, simVersion, result);
    if (pass == 1) {
        uint8_t libraryVersion[2];
        putU16(libraryVersion, kIpcLibraryVersion);
        ipcWrite(fsuipc::kLibraryVersion, 2, libraryVersion, result);
    }
    if (!ipcProcess(result)) return 0;
    readU32(ByteView{interfaceVersion, 4}, 0, ipcLink.fsuipcVersion);
    readU32(ByteView{simVersion, 4}, 0, ipcLink.fsVersion);
    return 1;
}

}  // namespace

void ipcUseTransport(const IpcTransport* replacement) {
    transport = replacement;
}

void ipcSetStopCheck(IpcStopCheck stopRequested) {
    stopCheck = stopRequested;
}

int ipcStopRequested() {
    return stopCheck && stopCheck() ? 1 : 0;
}

void ipcBlockName(uint32_t processId, uint32_t openCount, char (&name)[kIpcBlockNameSize]) {
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", static_cast<unsigned>(processId),
                  static_cast<unsigned>(openCount));
}

const char* ipcResultText(uint32_t code) {
    return code < kIpcResultCount ? kResultTexts[code] : "Unknown IPC result";
}

int ipcOpen(uint32_t requestedSimVersion, uint32_t* result) {
    if (ipcLink.view) return fail(result, kIpcAlreadyOpen);
    const IpcTransport& t = link();
    ipcLink.fsVersion = 0;
    ipcLink.fsuipcVersion = 0;

    bool foundAsFs98 = false;
    ipcLink.serverWindow = t.findWindow("UIPCMAIN");
    if (!ipcLink.serverWindow) {
        ipcLink.serverWindow = t.findWindow("FS98MAIN");
        foundAsFs98 = true;
    }
    if (!ipcLink.serverWindow) return fail(result, kIpcNoServer);

    ipcLink.messageId = t.registerMessage(kMessageName);
    if (ipcLink.messageId == 0) return fail(result, kIpcNoMessage);

    char name[kIpcBlockNameSize];
    ++ipcLink.openCount;
    ipcBlockName(t.currentProcessId(), ipcLink.openCount, name);

    ipcLink.atom = t.addAtom(name);
    if (ipcLink.atom == 0) return failOpen(result, kIpcNoAtom);
    deleteKeptAtom();  // the new number is taken, so the old one cannot come back for it

    ipcLink.mappingHandle = t.createMapping(name, kIpcBlockSize);
    if (!ipcLink.mappingHandle || t.lastError() == kIpcErrorAlreadyExists)
        return failOpen(result, kIpcNoMapping);

    ipcLink.view = t.mapView(ipcLink.mappingHandle);
    if (!ipcLink.view) return failOpen(result, kIpcNoView);
    ipcLink.next = ipcLink.view;
    ipcLink.queuedCount = 0;

    for (uint32_t pass = 1; pass <= kHandshakePasses; ++pass) {
        if (!handshakePass(pass, result)) {
            uint32_t code = *result;
            return failOpen(result, code);
        }
        t.sleep(kHandshakeSleepMs);
        if (ipcLink.fsuipcVersion != 0 && ipcLink.fsVersion != 0) break;
    }

    if (!(ipcLink.fsuipcVersion > kIpcMinimumInterfaceVersion) || (ipcLink.fsVersion >> 16) != kIpcSimMarker)
        return failOpen(result, foundAsFs98 ? kIpcWrongVersionRemote : kIpcWrongVersion);

    ipcLink.fsVersion &= 0xFFFF;
    if (requestedSimVersion != 0 && requestedSimVersion != ipcLink.fsVersion)
        return failOpen(result, kIpcWrongSimVersion);

    *result = kIpcOk;
    return 1;
}

void ipcClose() {
    release();
}

void ipcShutdown() {
    release();
    deleteKeptAtom();
}

int ipcRead(uint32_t offset, uint32_t size, void* destination, uint32_t* result) {
    if (!ipcLink.view) return fail(result, kIpcNotOpen);
    if (!fits(kIpcReadHeaderSize, size)) return fail(result, kIpcQueueFull);
    IpcQueuedRecord& record = queueRecord(kIpcReadRecord, offset, size);
    record.destination = destination;
    // The reference field names the record in the client's own list (1-based); 0 stands for no buffer.
    putU32(ipcLink.next + 12, destination ? ipcLink.queuedCount : 0);
    std::memset(ipcLink.next + kIpcReadHeaderSize, 0, size);
    ipcLink.next += kIpcReadHeaderSize + size;
    *result = kIpcOk;
    return 1;
}

int ipcWrite(uint32_t offset, uint32_t size, const void* source, uint32_t* result) {
    if (!ipcLink.view) return fail(result, kIpcNotOpen);
    if (!fits(kIpcWriteHeaderSize, size)) return fail(result, kIpcQueueFull);
    queueRecord(kIpcWriteRecord, offset, size);
    if (source)
        std::memcpy(ipcLink.next + kIpcWriteHeaderSize, source, size);
    else
        std::memset(ipcLink.next + kIpcWriteHeaderSize, 0, size);
    ipcLink.next += kIpcWriteHeaderSize + size;
    *result = kIpcOk;
    return 1;
}

int ipcProcess(uint32_t* result) {
    if (!ipcLink.view) return fail(result, kIpcNotOpen);
    if (ipcLink.next == ipcLink.view) return fail(result, kIpcNothingQueued);
    const IpcTransport& t = link();

    putU32(ipcLink.next, 0);
    ipcLink.next = ipcLink.view;

    uint64_t reply = 0;
    bool answered = false;
    bool stopped = false;
    for (uint32_t attempt = 0; attempt < kIpcSendAttempts && !answered; ++attempt) {
        // Before the first send too: a stop between exchanges must not wait for one more answer.
        if (ipcStopRequested()) {
            stopped = true;
            break;
        }
        answered = t.sendMessage(ipcLink.serverWindow, ipcLink.messageId, ipcLink.atom, kIpcSendTimeoutMs,
                                 &reply) != 0;
        if (!answered) t.sleep(kIpcRetrySleepMs);
    }
    if (!answered) {
        ipcLink.queuedCount = 0;
        // A stop between the sends counts as running out of time: the server did not answer in it.
        return fail(result, stopped || t.lastError() == 0 ? kIpcTimedOut : kIpcSendFailed);
    }
    if (reply != 1 || !blockHonoured()) {
        ipcLink.queuedCount = 0;
        return fail(result, kIpcBadReply);
    }
    copyBack();
    ipcLink.queuedCount = 0;
    *result = kIpcOk;
    return 1;
}
