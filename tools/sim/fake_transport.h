// An in-process server behind the IPC client: the transport calls land here, and every message is
// answered by kestrel-sim's own core against the fake's block. Tests configure failures and faults,
// and read back what the client did; the fuzz targets drive the client through it too.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc_transport.h"
#include "sim_core.h"

struct FakeServer {
    // Which windows exist.
    bool uipcMain = false;
    bool fs98Main = true;
    // Failures of the open steps.
    bool failRegister = false;
    bool failAtom = false;
    bool failMapping = false;
    bool mappingExists = false;
    bool failView = false;
    // Sends that fail before the server answers (-1: all), and the last error they leave.
    int failingSends = 0;
    uint32_t sendError = 0;
    // Answers this many more sends, then fails every later one with sendError (-1: off).
    int answersLeft = -1;
    // Runs on the block after the server has carried it out, before the client copies back.
    std::function<void(uint8_t* block)> tamper;

    sim::Options options;  // faults of the simulator core (reply value, ...)
    sim::Scenario scenario;
    double time = 0;  // scenario seconds seen by the core

    // What happened, in order: "find UIPCMAIN", "register", "atom <name>", "mapping <name>", "map",
    // "send", "sleep <ms>", "delete atom", "unmap", "close mapping".
    std::vector<std::string> calls;
    std::vector<std::string> records;  // the JSON lines the core recorded
    bool recording = true;             // false: the core records nothing (and formats no line)
    int sends = 0;
    std::vector<uint32_t> timeouts;

    alignas(8) uint8_t block[0x8000] = {};
    bool blockMapped = false;

    sim::Core& core();  // created on first use from options and scenario
    void resetCore() { core_.reset(); }
    // Counts the calls that start with `prefix`.
    int count(const std::string& prefix) const;
    int liveAtoms() const;  // atoms added and not deleted

private:
    std::unique_ptr<sim::Core> core_;
};

// Puts `server` behind the IPC client, with the link, its result code and the poll's watch reset.
void installFakeServer(FakeServer* server);
// Gives the link back to the platform's transport.
void removeFakeServer();

constexpr uint32_t kFakeProcessId = 0x1A2B;
constexpr uint16_t kFakeFirstAtom = 0xC001;
