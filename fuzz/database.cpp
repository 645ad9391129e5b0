// kestrel.dat through the load: the checks of its version, digests and length, the records read in one
// block, each record's dump (level 5) and its place in the spatial index. Then the same file as the
// options without the simulator read it (no scenery library: any whole number of layers).
//
// The input is the file. The scenery library it is checked against is made from the input itself, so
// the checks can pass: the layer count is the one that makes the length right for the record count of
// the header (when none does, the whole digests that fit), and the current digests are the stored ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "airportdb/database_file.h"
#include "app/offline_database.h"
#include "fuzz_support.h"
#include "scenery/scenery_library.h"
#include "tower/spatial_index.h"

namespace {

std::string path;

Digest storedDigest(const uint8_t* data, size_t size, size_t at) {
    Digest digest{};
    if (at < size) std::memcpy(digest.bytes, data + at, size - at < 16 ? size - at : 16);
    return digest;
}

// The layer list the input's own header and length imply (freed by releaseSceneryLibrary).
void layerListFromInput(const uint8_t* data, size_t size) {
    releaseSceneryLibrary();
    uint32_t header = 0;
    readU32(ByteView{data, size}, 0, header);
    const uint64_t records = static_cast<uint64_t>(kDatabaseRecordSize) * (header & kDatabaseMaxRecords);
    const uint64_t fixed = 4 + kDatabaseDigestSize + records;
    const uint64_t layers = size > fixed ? (size - fixed) / kDatabaseDigestSize : 0;

    layerList.sceneryCfgDigest = storedDigest(data, size, 4);
    layerList.layerCount = static_cast<int32_t>(layers);
    layerList.layerPaths = static_cast<char**>(std::calloc(layers + 1, sizeof(char*)));
    layerList.layerDigests = static_cast<Digest**>(std::calloc(layers + 1, sizeof(Digest*)));
    for (uint64_t i = 0; i < layers; ++i) {
        layerList.layerDigests[i] = static_cast<Digest*>(std::malloc(sizeof(Digest)));
        *layerList.layerDigests[i] = storedDigest(data, size, 4 + kDatabaseDigestSize * (1 + i));
    }
}

void loadAndRelease(int againstLibrary) {
    databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
    if (databaseFile.databaseHandle == kInvalidHandle) return;
    uint32_t count = 0;
    DatabaseFault fault = DatabaseFault::none;
    Airport* records = readDatabase(againstLibrary, count, fault);
    indexAirports(records, count);
    for (uint32_t i = 0; i < count; ++i)
        towerFrequencyText(&records[i]);
    releaseSpatialIndex();
    releaseDatabaseRecords(records, count);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietLog();
    path = fuzz::workDir() + "/kestrel.dat";
    std::strcpy(core.databasePath, path.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::writeFile(path, data, size)) return 0;
    fuzz::quietLog();
    layerListFromInput(data, size);
    loadAndRelease(1);
    loadAndRelease(0);
    releaseSceneryLibrary();
    return 0;
}
