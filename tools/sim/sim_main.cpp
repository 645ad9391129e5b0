// kestrel-sim: the stand-in simulator. See README.md for the options and the scenario format.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "sim_core.h"
#include "sim_server.h"

namespace sim {

std::atomic<bool> stopRequested{false};

}  // namespace sim

namespace {

int onControlEvent(uint32_t /*ctrlType*/) {
    sim::stopRequested.store(true);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    platformInitConsole();  // the same bytes on every system: JSON lines end in \n alone
    sim::Options options;
    std::string error;
    if (!sim::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kestrel-sim: %s\n\n%s", error.c_str(), sim::kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(sim::kUsage, stdout);
        return 0;
    }

    sim::Scenario scenario;
    if (!options.scenarioPath.empty()) {
        std::ifstream in(options.scenarioPath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kestrel-sim: cannot read %s\n", options.scenarioPath.c_str());
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        if (!sim::parseScenario(text.str(), scenario, error)) {
            std::fprintf(stderr, "kestrel-sim: %s: %s\n", options.scenarioPath.c_str(), error.c_str());
            return 2;
        }
    }

    FILE* record = nullptr;
    if (options.recordPath == "-") {
        record = stdout;
    } else if (!options.recordPath.empty()) {
        record = std::fopen(options.recordPath.c_str(), "ab");
        if (!record) {
            std::fprintf(stderr, "kestrel-sim: cannot write %s\n", options.recordPath.c_str());
            return 2;
        }
    }

    const auto started = std::chrono::steady_clock::now();
    sim::Core core(
        options, scenario,
        [started] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        },
        [record](const std::string& line) {
            if (!record) return;
            std::fprintf(record, "%s\n", line.c_str());
            std::fflush(record);  // readers follow the file while the simulator runs
        },
        [](const std::string& line) { std::fprintf(stderr, "kestrel-sim: %s\n", line.c_str()); });

    platformAddConsoleCtrlHandler(onControlEvent);
    int exitCode = sim::runServer(core, options);
    if (record && record != stdout) std::fclose(record);
    if (exitCode == 0)
        std::fprintf(stderr, "kestrel-sim: stopped after %llu messages\n",
                     static_cast<unsigned long long>(core.messages()));
    return exitCode;
}
