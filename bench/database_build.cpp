// The airport database's start-up step over a scenery library, timed from inside: the build (no
// kestrel.dat yet), the load of a valid kestrel.dat (with the check of its airport files' stamps), or
// the file load alone (the library read before the clock starts, no stamps checked). The progress
// display is replaced by a silent one, so the build is not held for its final 2.5 seconds.
// scripts/bench runs it and compares the figures with raw reads of the same files.
//
//   bench_database build|load|load-file SIMULATOR-FOLDER DATABASE-FILE
//
// Prints one line: "<mode> airports=N seconds=S display_ms=D peak_rss_kib=K".
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "core/progress.h"
#include "scenery/scenery_library.h"
#include "simlink/base_dir.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_database build|load|load-file SIMULATOR-FOLDER DATABASE-FILE\n");
    return 2;
}

bool copyPath(char* to, size_t size, const std::string& from) {
    if (from.size() >= size) return false;
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return usage();
    const std::string mode = argv[1];
    if (mode != "build" && mode != "load" && mode != "load-file") return usage();

    std::unique_ptr<Config> config(configDefaults());
    core.config = config.get();
    setLogLevel(0);
    setProgressPlatform(&silentProgress());
    if (!copyPath(basedir, sizeof basedir, std::filesystem::absolute(argv[2]).string() + "\\") ||
        !copyPath(core.databasePath, sizeof core.databasePath, std::filesystem::absolute(argv[3]).string())) {
        std::fprintf(stderr, "bench_database: path too long\n");
        return 1;
    }
    if (mode == "build") std::filesystem::remove(argv[3]);

    uint32_t airports = 0;
    uint32_t displayMs = 0;
    auto start = std::chrono::steady_clock::now();
    if (mode == "load-file") {
        if (!readSceneryLibrary()) return 1;
        start = std::chrono::steady_clock::now();
        databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
        if (databaseFile.databaseHandle != kInvalidHandle) airports = loadDatabase();
    } else {
        airports = loadOrBuildDatabase();
        // After progressFinish the display's start time holds the build time it showed.
        if (mode == "build") displayMs = progressState.startTime;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s airports=%u seconds=%.6f display_ms=%u peak_rss_kib=%ld\n", mode.c_str(), airports,
                seconds, displayMs, usage.ru_maxrss);
    return airports ? 0 : 1;
}
