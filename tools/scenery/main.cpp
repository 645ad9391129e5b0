// kestrel-scenery: writes a scenery library from an airport list (README.md), and digests files with
// kestrel's own MD5 for the benchmark.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/log.h"
#include "scenery/md5.h"
#include "scenery_writer.h"

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "Usage: kestrel-scenery [options] AIRPORTS.csv SIMULATOR-FOLDER\n"
        "       kestrel-scenery md5 FILE...\n"
        "\n"
        "Writes scenery.cfg, one scenery.dat per area and the BGL files under SIMULATOR-FOLDER from the\n"
        "airport list (see tools/scenery/README.md). The md5 command prints each file's digest as md5sum\n"
        "does.\n"
        "\n"
        "Options:\n"
        "  --filler-bytes N   add N bytes per runway (at least one) of other airport subrecords\n"
        "  --other-sections   add a section of another type to every BGL file\n"
        "  --other-section-bytes N\n"
        "                     add sections of other types, N bytes per airport, around the airports\n"
        "  --absolute-names   name the BGL files in scenery.dat by absolute path\n"
        "  --quiet            print nothing on success\n",
        out);
}

int runMd5(int argc, char** argv) {
    int status = 0;
    setLogLevel(3);
    for (int i = 2; i < argc; ++i) {
        Digest digest;
        if (!md5File(digest, argv[i])) {
            status = 1;
            continue;
        }
        char hex[33];
        for (int b = 0; b < 16; ++b)
            std::snprintf(hex + 2 * b, 3, "%02x", digest.bytes[b]);
        std::printf("%s  %s\n", hex, argv[i]);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "md5") == 0) return runMd5(argc, argv);

    sceneryw::CsvOptions options;
    bool quiet = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if ((arg == "--filler-bytes" || arg == "--other-section-bytes") && i + 1 < argc) {
            size_t& target =
                arg == "--filler-bytes" ? options.fillerBytesPerRunway : options.otherSectionBytesPerAirport;
            char* end = nullptr;
            unsigned long long value = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0' || value > (1u << 20)) {
                std::fprintf(stderr, "kestrel-scenery: %s takes a number up to 1048576\n", arg.c_str());
                return 2;
            }
            target = static_cast<size_t>(value);
        } else if (arg == "--other-sections") {
            options.otherSections = true;
        } else if (arg == "--absolute-names") {
            options.absoluteNames = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "kestrel-scenery: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        usage(stderr);
        return 2;
    }

    auto start = std::chrono::steady_clock::now();
    std::ifstream in(positional[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kestrel-scenery: cannot read %s\n", positional[0].c_str());
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    sceneryw::LibraryDef library;
    std::string error;
    if (!sceneryw::parseAirportCsv(text, options, library, error)) {
        std::fprintf(stderr, "kestrel-scenery: %s: %s\n", positional[0].c_str(), error.c_str());
        return 1;
    }
    sceneryw::WriteStats stats;
    if (!sceneryw::writeSceneryLibrary(positional[1], library, error, &stats)) {
        std::fprintf(stderr, "kestrel-scenery: %s\n", error.c_str());
        return 1;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!quiet)
        std::printf("kestrel-scenery: %zu areas, %zu files, %zu airport records, %llu bytes in %.3f s\n",
                    stats.areas, stats.files, stats.airports, static_cast<unsigned long long>(stats.bytes),
                    seconds);
    return 0;
}
