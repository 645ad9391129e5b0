#include "fake_transport.h"

#include <cstring>
#include <map>

#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"

namespace {

FakeServer* current = nullptr;
int windowToken = 0;
int mappingToken = 0;
// Live atoms by number. As on Windows, a new name gets the lowest free number, so a deleted atom's
// number comes back for the next one.
std::map<uint16_t, std::string> atoms;

IpcWindow findWindow(const char* className) {
    current->calls.push_back(std::string("find ") + className);
    bool exists = std::strcmp(className, "UIPCMAIN") == 0 ? current->uipcMain : current->fs98Main;
    return exists ? &windowToken : nullptr;
}

uint32_t registerMessage(const char* name) {
    current->calls.push_back(std::string("register ") + name);
    return current->failRegister ? 0 : 0xC123;
}

uint32_t processId() {
    return kFakeProcessId;
}

uint16_t addAtom(const char* name) {
    current->calls.push_back(std::string("atom ") + name);
    if (current->failAtom) return 0;
    uint16_t atom = kFakeFirstAtom;
    while (atoms.count(atom))
        ++atom;
    atoms[atom] = name;
    return atom;
}

void deleteAtom(uint16_t atom) {
    current->calls.push_back(atoms.erase(atom) ? "delete atom" : "delete unknown atom");
}

uint32_t lastErrorValue = 0;

IpcMapping createMapping(const char* name, uint32_t size) {
    current->calls.push_back(std::string("mapping ") + name);
    lastErrorValue = current->mappingExists ? kIpcErrorAlreadyExists : 0;
    if (current->failMapping || size != sizeof current->block) return nullptr;
    return &mappingToken;
}

uint8_t* mapView(IpcMapping mapping) {
    current->calls.push_back("map");
    if (current->failView || mapping != &mappingToken) return nullptr;
    current->blockMapped = true;
    return current->block;
}

void unmapView(uint8_t* view) {
    current->calls.push_back(view == current->block ? "unmap" : "unmap unknown");
    current->blockMapped = false;
}

void closeMapping(IpcMapping mapping) {
    current->calls.push_back(mapping == &mappingToken ? "close mapping" : "close unknown");
}

int sendMessage(IpcWindow window, uint32_t message, uint32_t wParam, uint32_t timeoutMs, uint64_t* reply) {
    current->calls.push_back("send");
    current->timeouts.push_back(timeoutMs);
    ++current->sends;
    if (window != &windowToken || message != 0xC123 || !atoms.count(static_cast<uint16_t>(wParam)) ||
        !current->blockMapped) {
        lastErrorValue = 1400;  // not our window, message or block
        return 0;
    }
    if (current->answersLeft == 0) {
        lastErrorValue = current->sendError;
        return 0;
    }
    if (current->answersLeft > 0) --current->answersLeft;
    if (current->failingSends < 0 || current->failingSends > 0) {
        if (current->failingSends > 0) --current->failingSends;
        lastErrorValue = current->sendError;
        return 0;
    }
    uint32_t answer = 0;
    if (!current->core().handle(current->block, sizeof current->block, answer)) {
        lastErrorValue = 0;
        return 0;
    }
    if (current->tamper) current->tamper(current->block);
    *reply = answer;
    return 1;
}

uint32_t lastError() {
    return lastErrorValue;
}

void sleepFor(uint32_t milliseconds) {
    current->calls.push_back("sleep " + std::to_string(milliseconds));
}

const IpcTransport kFakeTransport{findWindow,   registerMessage, processId, addAtom,
                                  deleteAtom,   createMapping,   mapView,   unmapView,
                                  closeMapping, sendMessage,     lastError, sleepFor};

}  // namespace

sim::Core& FakeServer::core() {
    if (!core_) {
        core_ = std::make_unique<sim::Core>(
            options, scenario, [this] { return time; },
            recording ? sim::Core::Sink([this](const std::string& line) { records.push_back(line); })
                      : sim::Core::Sink(),
            nullptr);
    }
    return *core_;
}

int FakeServer::count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

int FakeServer::liveAtoms() const {
    return static_cast<int>(atoms.size());
}

void installFakeServer(FakeServer* server) {
    current = server;
    atoms.clear();
    ipcLink = IpcLink{};
    simLinkWatch = SimLinkWatch{};
    ipcResult = 0;
    lastErrorValue = 0;
    ipcUseTransport(&kFakeTransport);
}

void removeFakeServer() {
    ipcUseTransport(nullptr);
    ipcLink = IpcLink{};
    current = nullptr;
}
