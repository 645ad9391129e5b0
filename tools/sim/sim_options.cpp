#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_core.h"

namespace sim {

const char* const kUsage =
    "Usage: kestrel-sim [OPTIONS]\n"
    "\n"
    "A stand-in simulator: answers the simulator interface's IPC protocol, replays a flight from a\n"
    "scenario file and records every write the client makes as one JSON line.\n"
    "\n"
    "  --scenario FILE       CSV timeline of aircraft states (see README.md)\n"
    "  --record FILE         append one JSON line per message with writes; - for standard output\n"
    "  --fs-dir DIR          simulator folder served at 0x3E00 (default C:\\FS9\\; at most 260 bytes)\n"
    "  --class NAME          window class to answer as: FS98MAIN (default) or UIPCMAIN\n"
    "  --speed X             scenario seconds per real second (default 1)\n"
    "  --start SECONDS       scenario time to begin at (default 0)\n"
    "  --interpolate         move the position linearly between rows\n"
    "  --exit-at-end         stop once the scenario time passes the last row\n"
    "  --reply N             answer every message with N without carrying it out (fault; default 1)\n"
    "  --no-reply            never answer (fault: the client times out)\n"
    "  --stop-after N        answer the first N messages, then none\n"
    "  --exit-after N        stop after answering N messages (the link drops)\n"
    "  --fail-tower-writes N refuse (answer 0) the first N messages that write the tower position\n"
    "  --late-after N        answer every message after the first N only after --late-ms\n"
    "  --late-ms MS          the delay of a late answer (default 2500, beyond the client's 2 s)\n"
    "  --change-size-after N in every reply after the first N messages, the first record's size is\n"
    "                        4096 larger\n"
    "  --change-id-after N   in every reply after the first N, the first record's identifier is swapped\n"
    "                        (a read comes back as a write, a write as a read)\n"
    "  --garbage-after N     every block after the first N is filled with garbage and answered 1\n"
    "  --fault-count M       each --late-after, --change-size-after, --change-id-after and\n"
    "                        --garbage-after fault hits M messages, then clears (default: all)\n"
    "  --version-words I:S   words served at 0x3304 and 0x3308 (default 0x20000000:0xFADE0009)\n"
    "  --zero-versions-for S both version words read 0 for the first S seconds (an interface not ready)\n"
    "  --run-dir DIR         POSIX: directory of the socket (default $KESTREL_RUN_DIR, $XDG_RUNTIME_DIR,\n"
    "                        or the temporary directory)\n"
    "  --verbose             one line on standard error per message\n"
    "  --help                show this text\n"
    "\n"
    "Prints \"kestrel-sim ready\" on standard output once it answers. Stops on Ctrl+C (SIGINT, SIGTERM).\n";

namespace {

bool toDouble(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool toUnsigned(const char* text, uint64_t maximum, uint64_t& value) {
    if (text[0] == '-' || text[0] == '+' || text[0] == '\0') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = std::strtoull(text, &end, 0);
    if (*end != '\0' || errno != 0 || parsed > maximum) return false;
    value = parsed;
    return true;
}

// The options that take a message count: each fault's start or budget.
struct CountOption {
    const char* name;
    int64_t Options::*field;
};
constexpr CountOption kCountOptions[] = {
    {"--stop-after", &Options::stopAfter},           {"--exit-after", &Options::exitAfter},
    {"--fail-tower-writes", &Options::failTowerWrites}, {"--late-after", &Options::lateAfter},
    {"--change-size-after", &Options::changeSizeAfter}, {"--change-id-after", &Options::changeIdAfter},
    {"--garbage-after", &Options::garbageAfter},     {"--fault-count", &Options::faultCount},
};
constexpr uint64_t kMostMessages = 1u << 30;

}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto flag = [&](const char* name) { return option == name; };
        const CountOption* count = nullptr;
        for (const CountOption& candidate : kCountOptions)
            if (flag(candidate.name)) count = &candidate;
        bool needsValue = count != nullptr;
        for (const char* name :
             {"--scenario", "--record", "--fs-dir", "--class", "--speed", "--start", "--reply",
              "--version-words", "--run-dir", "--late-ms", "--zero-versions-for"})
            needsValue = needsValue || flag(name);
        const char* value = nullptr;
        if (needsValue) {
            if (i + 1 >= argc) {
                error = option + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        uint64_t number = 0;
        auto bad = [&]() {
            error = "bad value for " + option + ": " + value;
            return false;
        };
        if (count) {
            if (!toUnsigned(value, kMostMessages, number)) return bad();
            options.*(count->field) = static_cast<int64_t>(number);
        } else if (flag("--help")) {
            options.help = true;
        } else if (flag("--interpolate")) {
            options.interpolate = true;
        } else if (flag("--exit-at-end")) {
            options.exitAtEnd = true;
        } else if (flag("--no-reply")) {
            options.stopAfter = 0;
        } else if (flag("--verbose")) {
            options.verbose = true;
        } else if (flag("--scenario")) {
            options.scenarioPath = value;
        } else if (flag("--record")) {
            options.recordPath = value;
        } else if (flag("--run-dir")) {
            options.runDir = value;
        } else if (flag("--fs-dir")) {
            if (std::strlen(value) > 260) return bad();
            options.seed.fsDir = value;
        } else if (flag("--class")) {
            if (std::strcmp(value, "FS98MAIN") != 0 && std::strcmp(value, "UIPCMAIN") != 0) return bad();
            options.className = value;
        } else if (flag("--speed")) {
            if (!toDouble(value, options.speed) || options.speed <= 0) return bad();
        } else if (flag("--zero-versions-for")) {
            if (!toDouble(value, options.zeroVersionsFor) || options.zeroVersionsFor < 0) return bad();
        } else if (flag("--start")) {
            if (!toDouble(value, options.start) || options.start < 0) return bad();
        } else if (flag("--reply")) {
            if (!toUnsigned(value, 0xFFFFFFFFu, number)) return bad();
            options.reply = static_cast<uint32_t>(number);
        } else if (flag("--late-ms")) {
            if (!toUnsigned(value, 600000, number)) return bad();
            options.lateMs = static_cast<uint32_t>(number);
        } else if (flag("--version-words")) {
            std::string words = value;
            size_t colon = words.find(':');
            uint64_t interfaceVersion = 0, simVersion = 0;
            if (colon == std::string::npos ||
                !toUnsigned(words.substr(0, colon).c_str(), 0xFFFFFFFFu, interfaceVersion) ||
                !toUnsigned(words.substr(colon + 1).c_str(), 0xFFFFFFFFu, simVersion))
                return bad();
            options.seed.interfaceVersion = static_cast<uint32_t>(interfaceVersion);
            options.seed.simVersion = static_cast<uint32_t>(simVersion);
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    return true;
}

}  // namespace sim
