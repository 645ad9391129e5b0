// kestrel-fuzz-seeds: writes the seed inputs of the fuzz targets, so that no seed is kept as a binary
// file in the tree. Seeds come from a scenery library that kestrel-scenery wrote, the settings file the
// release ships, the scenery writer's builders (the test fixtures' own), and the IPC client talking to
// the in-process server.
//
// Usage: kestrel-fuzz-seeds LIBRARY KESTREL.INI CORPUS TARGET...
// writes CORPUS/TARGET/seed-N for each TARGET named.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "airportdb/database_build.h"
#include "airportdb/database_file.h"
#include "airportdb/database_stamps.h"
#include "core/bytes.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/progress.h"
#include "fake_transport.h"
#include "fuzz_support.h"
#include "scenery/scenery_library.h"
#include "scenery_writer.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"

namespace {

namespace fs = std::filesystem;
using Seeds = std::vector<std::string>;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string text(const sceneryw::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<fs::path> filesNamed(const fs::path& library, const std::string& extension) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(library))
        if (entry.is_regular_file() && entry.path().extension() == extension) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// A BGL file of one airport with every kind of subrecord the decoder reads, and one of another section.
std::string builtBgl(bool deletion) {
    sceneryw::AirportDef airport;
    airport.ident = "KFZZ";
    airport.name = "Fuzz Field";
    airport.latitude = 37.5;
    airport.longitude = -122.25;
    airport.elevationM = 4;
    airport.tower = sceneryw::TowerPosition{37.51, -122.26, 30};
    sceneryw::Runway runway;
    runway.latitude = 37.5;
    runway.longitude = -122.25;
    runway.lengthM = 2000;
    runway.headingDeg = 280;
    runway.primaryNumber = 28;
    runway.secondaryNumber = 10;
    airport.runways = {runway, runway};
    airport.runways[1].primaryNumber = 1;
    airport.runways[1].secondaryNumber = 19;
    airport.frequencies = {{118.5, sceneryw::kComTower, "TWR"}, {121.9, 2, "GND"}};
    if (deletion) {
        sceneryw::Deletion del;
        del.allFrequencies = true;
        del.runways = {runway.key()};
        del.frequencies = {{118.5, sceneryw::kComTower, ""}};
        airport.deletion = del;
    }
    airport.fillerBytes = 40;
    sceneryw::BglFileDef file;
    file.airports = {airport};
    sceneryw::BglSection other;
    other.type = 0x65;
    file.otherSections = {other};
    return text(sceneryw::buildBgl(sceneryw::bglFileFor(file)));
}

Seeds bglSeeds(const fs::path& library) {
    Seeds seeds;
    for (const fs::path& path : filesNamed(library, ".bgl"))
        seeds.push_back(readBytes(path));
    seeds.push_back(builtBgl(false));
    seeds.push_back(builtBgl(true));
    return seeds;
}

// Each layer index with its files in entry order; names resolve against the library as the target
// resolves them against its own folder.
Seeds layerIndexSeeds(const fs::path& library) {
    Seeds seeds;
    const std::string base = sceneryw::programPath(library) + "\\";
    std::strcpy(basedir, base.c_str());
    for (const fs::path& path : filesNamed(library, ".dat")) {
        std::vector<std::string> parts{readBytes(path)};
        const ByteView index{reinterpret_cast<const uint8_t*>(parts[0].data()), parts[0].size()};
        for (const fuzz::IndexEntry& entry : fuzz::layerIndexEntries(index))
            parts.push_back(entry.path.empty() ? std::string() : readBytes(fuzz::nativeForm(entry.path)));
        seeds.push_back(fuzz::joinParts(parts));
    }
    std::memset(basedir, 0, sizeof basedir);
    return seeds;
}

Seeds sceneryCfgSeeds(const fs::path& library) {
    return {readBytes(library / "scenery.cfg"),
            "[Area.001]\r\nLocal=Scenery\\World\r\nLayer=1\r\nActive=TRUE\r\n"
            "[Area.002]\r\nLocal=Quirk\\scenery\r\nLayer=2\r\nActive=true\r\n"
            "[Area.999]\r\nLocal=\"Addon Scenery\\Bay Towers\"\r\nLayer=0x7FFFFFFF\r\nActive=TRUE\r\n"
            "[Area.010]\r\nLocal=Scenery\\NAMW\\\r\nLayer=-3\r\nActive=FALSE\r\n"
            "[area.011]\r\nlocal=Scenery\\Fuzz\r\nlayer=2\r\nactive= True \r\n"};
}

Seeds settingsSeeds(const fs::path& ini) {
    const std::string file = readBytes(ini);
    const std::string lookups[] = {std::string(1, '\x1d') + "KestrelConfig\nLogLevel\n3\n",
                                   std::string(1, '\x00') + " kestrelconfig \nZOOMLEVEL\n0x180\n",
                                   std::string(1, '\xff') + "KestrelConfig\nMissing\n'quoted' \n",
                                   std::string(1, '\x04') + "\nSimpleFixDistance\n-0b101\n"};
    return {file, fuzz::joinParts({file, lookups[0], lookups[1]}),
            fuzz::joinParts({"[KestrelConfig]\r\nLogLevel=0x7fffffff\r\nSimpleFixDistance=-300\r\n"
                             "ZoomLevel=\"0o777\"\r\n[KestrelConfig]\r\nUpdateInterval=1\r\n",
                             lookups[2], lookups[3]})};
}

// kestrel.dat as the build writes it from the library, and the same with an older version.
Seeds databaseSeeds(const fs::path& library, const fs::path& scratch) {
    static Config* const config = configDefaults();
    core.config = config;
    fuzz::quietLog(0);
    setProgressPlatform(&silentProgress());
    const std::string base = sceneryw::programPath(library) + "\\";
    const std::string database = (scratch / "kestrel.dat").string();
    std::strcpy(basedir, base.c_str());
    std::strcpy(core.databasePath, database.c_str());
    Seeds seeds;
    if (readSceneryLibrary()) {
        buildDatabase();
        fuzz::releaseIndexedAirports();
        seeds.push_back(readBytes(database));
    }
    releaseSceneryLibrary();
    if (!seeds.empty() && seeds[0].size() >= 4) {
        std::string older = seeds[0];
        older[3] = 1;
        seeds.push_back(older);
    }
    std::memset(basedir, 0, sizeof basedir);
    return seeds;
}

struct Op {
    uint8_t kind;  // as ipc_block.cpp reads it
    uint16_t offset;
    uint16_t size;
};

// What one poll and one tower placement queue.
const std::vector<Op> kPollOps = {
    {0, 0x3364, 1}, {0, 0x3365, 1},  {0, 0x0264, 2}, {4, 0, 0},      {0, 0x0560, 8},
    {0, 0x0568, 8},              {0, 0x0570, 8},  {4, 0, 0},      {0, 0x3122, 1}, {0, 0x034E, 2},
    {0, 0x3118, 2},              {4, 0, 0},       {2, 0x0D50, 8}, {2, 0x0D58, 8}, {2, 0x0D60, 8},
    {2, 0x8330, 2},              {2, 0x3380, 40}, {3, 0x32FA, 2}, {1, 0x3304, 4}};

std::string encodeOps(uint8_t mode, const std::vector<Op>& ops) {
    std::string out(1, static_cast<char>(mode));
    for (const Op& op : ops) {
        out += static_cast<char>(op.kind);
        out += static_cast<char>(op.offset & 0xFF);
        out += static_cast<char>(op.offset >> 8);
        out += static_cast<char>(op.size & 0xFF);
        out += static_cast<char>(op.size >> 8);
    }
    return out;
}

std::string patch(uint16_t position, const std::string& bytes) {
    std::string out;
    out += static_cast<char>(position & 0xFF);
    out += static_cast<char>(position >> 8);
    out += static_cast<char>(bytes.size());
    return out + bytes;
}

// Stamps of the stamps target's two files as a build writes them (fuzz/stamps.cpp puts in the tie to
// its kestrel.dat), the same with both files there, and with the first one unread by the build.
Seeds stampsSeeds() {
    Seeds seeds;
    for (const auto& [gone, flags] :
         {std::pair{~0ull, 0u}, std::pair{3ull, 0u}, std::pair{~0ull, kStampUnread}}) {
        std::string seed(kStampsHeaderSize + 2 * kStampSize, '\0');
        uint8_t* bytes = reinterpret_cast<uint8_t*>(seed.data());
        std::memcpy(bytes, "KSTP", 4);
        putU32(bytes + 4, kStampsVersion);
        putU32(bytes + 8, 0x02000001);
        putU32(bytes + 28, 2);
        uint8_t* here = bytes + kStampsHeaderSize;  // layer 0, entry 0
        putU32(here + 8, flags);
        putU64(here + 12, 3);
        uint8_t* other = here + kStampSize;
        putU32(other + 4, 1);
        putU64(other + 12, gone);
        seeds.push_back(seed);
    }
    return seeds;
}

Seeds ipcBlockSeeds() {
    const std::string ops = encodeOps(0, kPollOps);
    return {ops,
            fuzz::joinParts({encodeOps(1, kPollOps), ""}),
            fuzz::joinParts({encodeOps(3, {{0, 0x3304, 4}}), ""}),
            // a record's size, its identifier and an end marker changed by the server
            fuzz::joinParts({ops, patch(8, std::string("\xff\x7f\x00\x00", 4)) +
                                      patch(16, std::string("\x07\x00\x00\x00", 4)) +
                                      patch(40, std::string(4, '\0'))})};
}

// The blocks the IPC client sends for the queues above, as the server receives them.
Seeds simBlockSeeds() {
    Seeds seeds;
    auto server = std::make_unique<FakeServer>();
    installFakeServer(server.get());
    uint32_t result = 0;
    if (ipcOpen(0, &result)) {
        std::string sent;
        server->tamper = [&sent](uint8_t* block) { sent.assign(reinterpret_cast<char*>(block), 0x8000); };
        std::vector<std::unique_ptr<uint8_t[]>> buffers;
        const uint8_t pattern[64] = {'T', 'o', 'w', 'e', 'r'};
        for (const Op& op : kPollOps) {
            if (op.kind == 0) {
                buffers.emplace_back(new uint8_t[op.size]);
                ipcRead(op.offset, op.size, buffers.back().get(), &result);
            } else if (op.kind == 2 || op.kind == 3) {
                ipcWrite(op.offset, op.size, op.kind == 2 ? pattern : nullptr, &result);
            } else if (op.kind == 1) {
                ipcRead(op.offset, op.size, nullptr, &result);
            } else if (ipcProcess(&result)) {
                seeds.push_back(sent);
            }
        }
        if (ipcProcess(&result)) seeds.push_back(sent);
    }
    ipcShutdown();
    removeFakeServer();
    // Trailing zeros say nothing a shorter block does not; the walk ends at the first zero anyway.
    for (std::string& seed : seeds) {
        const size_t last = seed.find_last_not_of('\0');
        seed.resize(last == std::string::npos ? 4 : std::min(seed.size(), last + 5));
    }
    return seeds;
}

bool writeSeeds(const fs::path& folder, const Seeds& seeds) {
    std::error_code error;
    fs::create_directories(folder, error);
    for (size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(folder / ("seed-" + std::to_string(i + 1)), std::ios::binary | std::ios::trunc);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
        if (!out) return false;
    }
    std::printf("%s: %zu seeds\n", folder.string().c_str(), seeds.size());
    return !seeds.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "Usage: kestrel-fuzz-seeds LIBRARY KESTREL.INI CORPUS TARGET...\n");
        return 2;
    }
    const fs::path library = argv[1], ini = argv[2], corpus = argv[3];
    fuzz::quietLog(0);
    const std::map<std::string, std::function<Seeds()>> makers = {
        {"bgl_file", [&] { return bglSeeds(library); }},
        {"layer_index", [&] { return layerIndexSeeds(library); }},
        {"scenery_cfg", [&] { return sceneryCfgSeeds(library); }},
        {"settings", [&] { return settingsSeeds(ini); }},
        {"database", [&] { return databaseSeeds(library, fuzz::workDir()); }},
        {"stamps", [] { return stampsSeeds(); }},
        {"ipc_block", [] { return ipcBlockSeeds(); }},
        {"sim_block", [] { return simBlockSeeds(); }},
    };
    int status = 0;
    for (int i = 4; i < argc; ++i) {
        const auto maker = makers.find(argv[i]);
        if (maker == makers.end()) {
            std::fprintf(stderr, "kestrel-fuzz-seeds: no target %s\n", argv[i]);
            status = 2;
        } else if (!writeSeeds(corpus / argv[i], maker->second())) {
            std::fprintf(stderr, "kestrel-fuzz-seeds: the seeds of %s were not written\n", argv[i]);
            status = 1;
        }
    }
    return status;
}
