#include "app/offline_request.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "core/log_file.h"
#include "app/offline_table.h"
#include "platform/platform.h"

namespace {

// The lowest and highest frequency a COM radio tunes, in kHz.
constexpr long long kComLowestKHz = 118000;
constexpr long long kComHighestKHz = 136975;

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool isOption(const char* argument) {
    double ignored;
    return argument[0] == '-' && !parseNumber(argument, ignored);
}

int usage(std::string& reason, const std::string& text) {
    reason = text;
    return kOfflineUsage;
}

int parseNumberArgument(const char* text, double lowest, double highest, const char* what, double& value,
                        std::string& reason) {
    if (parseNumber(text, value) && value >= lowest && value <= highest) return kOfflineDone;
    char message[160];
    std::snprintf(message, sizeof message, "bad %s %.40s (a number from %g to %g)", what, text, lowest,
                  highest);
    return usage(reason, message);
}

// The --at arguments: latitude, longitude and the tuned frequency, which the radio reads in 10 kHz steps.
int parsePosition(const std::vector<const char*>& values, OfflineRequest& request, std::string& reason) {
    if (values.size() < 2 || values.size() > 3)
        return usage(reason, "--at takes a latitude, a longitude and, optionally, a frequency in MHz");
    if (int code = parseNumberArgument(values[0], -90, 90, "latitude", request.latitude, reason)) return code;
    if (int code = parseNumberArgument(values[1], -180, 180, "longitude", request.longitude, reason))
        return code;
    if (values.size() == 3) {
        double mhz = 0;
        if (int code = parseNumberArgument(values[2], kComLowestKHz / 1000.0, kComHighestKHz / 1000.0,
                                           "frequency", mhz, reason))
            return code;
        const long long code = std::llround(mhz * 1000.0) - 117000;
        request.tuned = true;
        request.radio = static_cast<uint16_t>(code / 10 * 10);
    }
    return kOfflineDone;
}

int takeMode(OfflineRequest& request, OfflineMode mode, std::string& reason) {
    if (request.mode != OfflineMode::none) return usage(reason, "only one of --build, --list and --at");
    request.mode = mode;
    return kOfflineDone;
}

void discardLog(const char*, size_t) {}

// A reason is one line: the system's error texts may end in a line break.
std::string oneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return printable(line.c_str());
}

}  // namespace

int parseOfflineRequest(int argc, char** argv, OfflineRequest& request, std::string& reason) {
    request = OfflineRequest{};
    std::vector<const char*> values;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!isOption(a)) {
            values.push_back(a);
            continue;
        }
        int code = kOfflineDone;
        if (std::strcmp(a, "--build") == 0) {
            code = takeMode(request, OfflineMode::build, reason);
        } else if (std::strcmp(a, "--list") == 0) {
            code = takeMode(request, OfflineMode::list, reason);
        } else if (std::strcmp(a, "--at") == 0) {
            code = takeMode(request, OfflineMode::at, reason);
        } else if (std::strcmp(a, "--csv") == 0) {
            request.csv = true;
        } else if (std::strcmp(a, "--fs-dir") == 0 || std::strcmp(a, "--database") == 0) {
            if (i + 1 >= argc) return usage(reason, std::string(a) + " needs a path");
            const char*& path = std::strcmp(a, "--fs-dir") == 0 ? request.fsDir : request.database;
            path = argv[++i];
            // Windows reads \" inside quotes as a quote: "C:\FS9\" --build arrives as one argument.
            if (std::strchr(path, '"'))
                return usage(reason, std::string(a) + " " + path +
                                         ": a quoted folder must not end in a backslash (\"C:\\FS9\")");
        } else {
            return usage(reason, std::string("unknown option ") + a);
        }
        if (code != kOfflineDone) return code;
    }

    switch (request.mode) {
        case OfflineMode::none:
            return usage(reason, "one of --build, --list and --at is needed");
        case OfflineMode::build:
            if (!request.fsDir) return usage(reason, "--build needs --fs-dir DIR");
            if (!values.empty()) return usage(reason, std::string("unexpected argument ") + values[0]);
            break;
        case OfflineMode::list:
            if (values.size() > 1) return usage(reason, std::string("unexpected argument ") + values[1]);
            if (!values.empty()) request.pattern = values[0];
            break;
        case OfflineMode::at:
            if (int code = parsePosition(values, request, reason)) return code;
            break;
    }
    if (request.csv && request.mode != OfflineMode::list) return usage(reason, "--csv goes with --list");
    return kOfflineDone;
}

int runOfflineRequest(const OfflineRequest& request, std::string& out, std::string& reason) {
    switch (request.mode) {
        case OfflineMode::build:
            return buildOffline(request, out, reason);
        case OfflineMode::list:
            return listOffline(request, out, reason);
        case OfflineMode::at:
            return towerAtOffline(request, out, reason);
        case OfflineMode::none:
            break;
    }
    return usage(reason, "one of --build, --list and --at is needed");
}

int offlineMain(int argc, char** argv) {
    OfflineRequest request;
    std::string out;
    std::string reason;
    int code = parseOfflineRequest(argc, argv, request, reason);
    if (code == kOfflineDone) {
        // The build shows the log of a start; the answers of the others are the whole output.
        if (request.mode != OfflineMode::build) setLogSink(discardLog);
        code = runOfflineRequest(request, out, reason);
        setLogSink(nullptr);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    writeLogFile(out.data(), out.size());  // only --build has a log file open
    if (!reason.empty()) printReason(reason, code);
    // The last line is out: a closing console that --build was stopped by may end the process now.
    platformConsoleStopDone();
    return code;
}

void printReason(const std::string& reason, int code) {
    const std::string line = "kestrel: " + oneLine(reason) +
                             (code == kOfflineUsage ? " (kestrel --help lists the options)" : "") + kPlatformLineEnd;
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    writeLogFile(line.data(), line.size());
}
