// kestrel-link-timing: how long the simulator link takes against a running kestrel-sim. Prints the raw
// transport round trip and a full poll (four exchanges).
//
// The raw reference sends the very blocks a poll sends, recorded from one poll, each as one message with
// nothing checked or copied back: the server's work on them counts on both sides, so what the poll takes
// beyond four raw round trips is the client's own. Raw rounds (the four blocks) and polls alternate and
// each is timed alone; the figures are the medians, so a burst of load on a shared machine meets both
// sides alike and moves neither median far.
//
//   kestrel-link-timing [COUNT]      (default 2000 rounds of each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "platform/platform.h"
#include "sim_core.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"

namespace {

using Block = std::vector<uint8_t>;
std::vector<Block> pollBlocks;  // the requests of one poll, in the order it sent them

int recordingSend(IpcWindow window, uint32_t message, uint32_t wParam, uint32_t timeoutMs, uint64_t* reply) {
    pollBlocks.emplace_back(ipcLink.view, ipcLink.view + sim::requestSize(ipcLink.view, kIpcBlockSize));
    return platformIpcTransport()->sendMessage(window, message, wParam, timeoutMs, reply);
}

// One poll through a transport that keeps a copy of each request it sends.
bool recordPoll() {
    IpcTransport recorder = *platformIpcTransport();
    recorder.sendMessage = recordingSend;
    ipcUseTransport(&recorder);
    const int polled = simPoll();
    ipcUseTransport(nullptr);
    // A request the walk refuses (none of the client's should be) would leave nothing to send raw.
    return polled && !pollBlocks.empty() &&
           std::all_of(pollBlocks.begin(), pollBlocks.end(),
                       [](const Block& block) { return !block.empty(); });
}

bool rawRound() {
    for (const Block& block : pollBlocks) {
        std::memcpy(ipcLink.view, block.data(), block.size());
        uint64_t reply = 0;
        if (!platformIpcTransport()->sendMessage(ipcLink.serverWindow, ipcLink.messageId, ipcLink.atom,
                                                 kIpcSendTimeoutMs, &reply) ||
            reply != 1)
            return false;
    }
    return true;
}

bool poll() {
    return simPoll() != 0;
}

// Microseconds that one call of `call` takes; negative when it failed.
double timed(bool (*call)()) {
    auto start = std::chrono::steady_clock::now();
    if (!call()) return -1;
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

double median(std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (count <= 0) count = 2000;
    setLogLevel(0);
    if (!ipcOpen(0, &ipcResult)) {
        std::fprintf(stderr, "kestrel-link-timing: %s\n", ipcResultText(ipcResult));
        return 1;
    }
    std::vector<double> raw, polls;
    bool ok = recordPoll();
    for (int i = 0; ok && i < count; ++i) {
        double rawTime = timed(rawRound);
        double pollTime = timed(poll);
        ok = rawTime >= 0 && pollTime >= 0;
        raw.push_back(rawTime);
        polls.push_back(pollTime);
    }
    ipcShutdown();
    if (!ok) {
        std::fprintf(stderr, "kestrel-link-timing: an exchange failed (is the simulator flying?)\n");
        return 1;
    }
    const size_t messages = pollBlocks.size();
    std::printf("raw round trip: %.1f us per message (median of %d rounds of the poll's %zu blocks)\n",
                median(raw) / static_cast<double>(messages), count, messages);
    std::printf("simPoll:        %.1f us per poll (median of %d polls, %zu messages each)\n", median(polls),
                count, messages);
    return 0;
}
