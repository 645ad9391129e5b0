// kestrel-link-timing: how long the simulator link takes against a running kestrel-sim. Prints the raw
// transport round trip (one message carrying an empty block) and a full poll (four exchanges).
//
//   kestrel-link-timing [COUNT]      (default 2000 of each)
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/bytes.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_poll.h"

namespace {

double microsecondsPerCall(int count, int (*call)()) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        if (!call()) return -1;
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / count;
}

int rawRoundTrip() {
    putU32(ipcLink.view, 0);  // nothing but the end marker
    uint64_t reply = 0;
    return platformIpcTransport()->sendMessage(ipcLink.serverWindow, ipcLink.messageId, ipcLink.atom,
                                               kIpcSendTimeoutMs, &reply) &&
           reply == 1;
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
    double raw = microsecondsPerCall(count, rawRoundTrip);
    double poll = microsecondsPerCall(count, simPoll);
    ipcShutdown();
    if (raw < 0 || poll < 0) {
        std::fprintf(stderr, "kestrel-link-timing: an exchange failed (is the simulator flying?)\n");
        return 1;
    }
    std::printf("raw round trip: %.1f us per message (%d messages)\n", raw, count);
    std::printf("simPoll:        %.1f us per poll (%d polls, 4 messages each)\n", poll, count);
    return 0;
}
