// kestrel.dat under damage and failing disks, over a database of real size: a damaged file is always
// rebuilt, with the line that says why, and never yields a record; a write that fails anywhere leaves
// the previous file as it was, no temporary file, and the airports of the build in use.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "airportdb/database_build.h"
#include "core/bytes.h"
#include "scenery/import_fixtures.h"
#include "support/log_capture.h"
#include "support/many_airports.h"
#include "tower/tower_search.h"

namespace {

constexpr uint32_t kAirports = 5000;

// The writes the platform layer was asked for, and the one to fail.
struct WriteFault {
    std::vector<uint32_t> sizes;
    int failAt = -1;
    uint32_t allowed = 0;  // bytes of the failing write that reach the disk
};
WriteFault writeFault;

uint32_t limitWrites(PlatformHandle, uint32_t size) {
    const int call = static_cast<int>(writeFault.sizes.size());
    writeFault.sizes.push_back(size);
    return call == writeFault.failAt ? writeFault.allowed : size;
}

// The blocks of memory the platform layer was asked for, and the one it refuses.
struct BulkFault {
    int calls = 0;
    int failAt = -1;
};
BulkFault bulkFault;

int limitBulk(size_t) {
    return bulkFault.calls++ != bulkFault.failAt;
}

class DatabaseFaultTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        useSimulatorFolder(dir.path() / "sim");
        std::strcpy(core.databasePath, programPath("kestrel.dat").c_str());
        writeFault = WriteFault{};
    }
    void TearDown() override {
        platformSetWriteLimit(nullptr);
        platformSetBulkLimit(nullptr);
        ImportTest::TearDown();
    }
    // Everything the process held is gone, as at the next start; the files stay.
    void restart() {
        TearDown();
        SetUp();
    }

    void writeLibrary() {
        std::string error;
        ASSERT_TRUE(writeSceneryLibrary(dir.path() / "sim", manyAirports(kAirports), error)) << error;
    }

    // Loads `bytes` as kestrel.dat the way the start-up does; the records it gave (0 when refused).
    uint32_t loadFile() {
        databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
        EXPECT_NE(databaseFile.databaseHandle, kInvalidHandle);
        return loadDatabase();
    }

    std::string lengthLine(uint64_t size, uint32_t count, int32_t layers) const {
        const uint64_t expected = 4 + 16 * (1 + static_cast<uint64_t>(layers)) + 88ull * count;
        return "The datafile " + std::string(core.databasePath) + " is " + std::to_string(size) +
               " bytes long, but " + std::to_string(count) + " airports and " + std::to_string(layers) +
               " scenery layers take " + std::to_string(expected) + " bytes. It has to be rebuilt.\r\n";
    }

    std::filesystem::path databasePath() const { return dir.path() / "kestrel.dat"; }
};

const std::string kPreviousVersion =
    "A datafile from a previous version of kestrel has been detected.\r\n"
    "Because of changes in the datafile layout, it needs to be rebuilt.\r\n"
    "If you want to take advantage of possible new options, please make\r\n"
    "sure you're using an up-to-date configuration file.\r\n";
const std::string kNewerVersion =
    "A datafile from a NEWER version of kestrel has been detected.\r\n"
    "Because kestrel will not be able to work with this file, the datafile has to be rebuilt.\r\n";

TEST_F(DatabaseFaultTest, EveryDamagedFileIsRefusedWithItsLine) {
    writeLibrary();
    ASSERT_EQ(loadOrBuildDatabase(), kAirports);
    const std::string valid = readFile(databasePath());
    releaseSpatialIndex();
    ASSERT_EQ(readSceneryLibrary(), 1);  // the layer list the loads are checked against
    const int32_t layers = layerList.layerCount;
    const size_t digestsEnd = 4 + 16 * (1 + static_cast<size_t>(layers));
    ASSERT_EQ(valid.size(), digestsEnd + 88u * kAirports);
    ASSERT_EQ(loadFile(), kAirports);  // the file as written does load
    releaseSpatialIndex();

    std::map<std::string, int> tally;  // kind of damage -> files refused
    int loaded = 0;
    // Loads the file as it now is at log level 4 and expects it refused with exactly `line`.
    auto expectRefused = [&](const std::string& kind, const std::string& line, const std::string& what) {
        LogCapture log(4);
        const uint32_t count = loadFile();
        if (count != 0 || spatialIndex.spatialIndexRoot != nullptr) {
            ++loaded;
            releaseSpatialIndex();
        }
        EXPECT_EQ(count, 0u) << what;
        EXPECT_EQ(log.text(), line) << what;
        ++tally[kind];
    };

    // Truncations: every length inside the header and digests, every record boundary, an even sample
    // of the rest and the last bytes, longest first so that each is one truncation of the file on disk.
    std::set<size_t, std::greater<size_t>> lengths;
    for (size_t t = 0; t <= digestsEnd; ++t)
        lengths.insert(t);
    for (size_t t = digestsEnd; t < valid.size(); t += 88)
        lengths.insert(t);
    for (size_t k = 0; k < 5000; ++k)
        lengths.insert(k * valid.size() / 5000);
    for (size_t t = valid.size() - 100; t < valid.size(); ++t)
        lengths.insert(t);
    writeFile(databasePath(), valid);
    for (size_t t : lengths) {
        std::filesystem::resize_file(databasePath(), t);
        // A file too short for its header word is an interrupted write and is rebuilt without a word.
        expectRefused("truncated", t < 4 ? "" : lengthLine(t, kAirports, layers),
                      "length " + std::to_string(t));
    }

    // One changed field at a time in an otherwise valid file.
    auto writeChanged = [&](size_t offset, const std::string& bytes) {
        std::string changed = valid;
        changed.replace(offset, bytes.size(), bytes);
        writeFile(databasePath(), changed);
    };
    for (int version : {0, 1, 3, 4, 0x7F, 0x80, 0xFF}) {
        writeChanged(3, std::string(1, static_cast<char>(version)));
        expectRefused("version", version < 2 ? kPreviousVersion : kNewerVersion,
                      "version " + std::to_string(version));
    }
    std::vector<uint32_t> counts = {0, 1, kAirports - 1, kAirports + 1, 2 * kAirports, 0xFFFFFF};
    for (int bit = 0; bit < 24; ++bit)
        counts.push_back(kAirports ^ (1u << bit));
    for (uint32_t count : counts) {
        uint8_t word[4];
        putU32(word, 0x02000000 | count);
        writeChanged(0, std::string(reinterpret_cast<const char*>(word), 4));
        // A count of 0 is the header of a build that never finished.
        expectRefused("record count", count == 0 ? "" : lengthLine(valid.size(), count, layers),
                      "count " + std::to_string(count));
    }
    for (size_t at = 4; at < digestsEnd; ++at) {
        writeChanged(at, std::string(1, static_cast<char>(valid[at] ^ (1 << (at % 8)))));
        const int index = static_cast<int>(at - 20) / 16;
        expectRefused("digest byte",
                      at < 20 ? "scenery.cfg has changed, requesting database rebuild\r\n"
                              : "Layer at index " + std::to_string(index) +
                                    " has changed, requesting database rebuild\r\n",
                      "digest byte " + std::to_string(at));
    }

    // The layer count is not stored: a layer list with layers gone or added, whose leading digests
    // still match, must not read records from the wrong place.
    writeFile(databasePath(), valid);
    Digest* const saved = layerList.layerDigests[0];
    Digest firstRecordBytes;
    std::memcpy(firstRecordBytes.bytes, valid.data() + digestsEnd, 16);
    Digest other = firstRecordBytes;
    other.bytes[0] ^= 1;
    for (int32_t count = 0; count < layers; ++count) {
        layerList.layerCount = count;
        expectRefused("layer count", lengthLine(valid.size(), kAirports, count),
                      "layers " + std::to_string(count));
    }
    // One layer more, its digest the first record's bytes (they then pass as a digest) or another.
    std::vector<Digest*> more(layerList.layerDigests, layerList.layerDigests + layers);
    Digest** const list = layerList.layerDigests;
    for (Digest* added : {&firstRecordBytes, &other}) {
        more.resize(static_cast<size_t>(layers));
        more.push_back(added);
        layerList.layerDigests = more.data();
        layerList.layerCount = layers + 1;
        expectRefused("layer count",
                      added == &other ? "Layer at index " + std::to_string(layers) +
                                            " has changed, requesting database rebuild\r\n"
                                      : lengthLine(valid.size(), kAirports, layers + 1),
                      "one layer more");
    }
    layerList.layerDigests = list;
    layerList.layerCount = layers;
    EXPECT_EQ(layerList.layerDigests[0], saved);

    int refused = 0;
    std::printf("damaged kestrel.dat of %u airports, %llu bytes:", kAirports,
                static_cast<unsigned long long>(valid.size()));
    for (const auto& [kind, n] : tally) {
        std::printf(" %s %d,", kind.c_str(), n);
        refused += n;
    }
    std::printf(" refused and rebuilt %d, loaded %d\n", refused - loaded, loaded);
    EXPECT_EQ(loaded, 0);
}

TEST_F(DatabaseFaultTest, FailedWriteKeepsThePreviousFileAndTheAirports) {
    writeLibrary();
    platformSetWriteLimit(limitWrites);
    ASSERT_EQ(loadOrBuildDatabase(), kAirports);
    const std::string built = readFile(databasePath());
    const std::vector<uint32_t> writes = writeFault.sizes;
    // The header word, the digests, the record blocks, the count patched into the header, the stamps.
    ASSERT_GE(writes.size(), 9u);
    ASSERT_EQ(writes.front(), 4u);
    ASSERT_EQ(writes[writes.size() - 2], 4u);
    const int firstBlock = 2 + 3;  // behind the header word, scenery.cfg's digest and three layers'
    ASSERT_EQ(writes[firstBlock], kDatabaseWriteBuffer / 88 * 88);
    const int lastBlock = static_cast<int>(writes.size()) - 3;
    const int stampsWrite = lastBlock + 2;
    // A file that no longer fits the scenery: the start builds, and the failed write must leave it.
    std::string previous = built;
    previous[4] = static_cast<char>(previous[4] ^ 0x55);

#ifdef _WIN32
    const uint32_t diskFull = 112;  // ERROR_DISK_FULL
#else
    const uint32_t diskFull = ENOSPC;
#endif
    char* text = platformErrorText(diskFull);
    const std::string failedLine = "Error while writing database file " + std::string(core.databasePath) +
                                   ", error was: " + text + ". The database is not stored.\r\n";
    const std::string stampsLine = "Error while writing database file " + std::string(core.databasePath) +
                                   ".stamps, error was: " + text + ". The database is not stored.\r\n";
    platformReleaseErrorText(text);

    const struct {
        const char* where;
        int write;
        uint32_t allowed;
    } cases[] = {
        {"the header word", 0, 0},
        {"the first block of records", firstBlock, 0},
        {"a middle block, half written", (firstBlock + lastBlock) / 2,
         writes[(firstBlock + lastBlock) / 2] / 2},
        {"the last block of records, all but a byte", lastBlock, writes[lastBlock] - 1},
        {"the record count in the header", lastBlock + 1, 0},
        {"the stamps, kestrel.dat in place: it never loads without them", stampsWrite, 0},
    };
    for (const auto& c : cases) {
        restart();
        writeFile(databasePath(), previous);
        writeFault.failAt = c.write;
        writeFault.allowed = c.allowed;
        platformSetWriteLimit(limitWrites);
        LogCapture log(4);
        EXPECT_EQ(loadOrBuildDatabase(), kAirports) << c.where;
        const bool stamps = c.write == stampsWrite;
        EXPECT_TRUE(log.contains(stamps ? stampsLine : failedLine)) << c.where << "\n" << log.text();
        EXPECT_TRUE(log.contains("Successfully imported 5000 airport infos from scenery.\r\n")) << c.where;
        EXPECT_EQ(databaseFile.stored, 0) << c.where;
        EXPECT_EQ(readFile(databasePath()), stamps ? built : previous) << c.where;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.tmp")) << c.where;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.stamps.tmp")) << c.where;
        // Nothing is written after the failure.
        EXPECT_EQ(writeFault.sizes.size(), static_cast<size_t>(c.write) + 1) << c.where;

        // The run goes on with the airports of the build: the tower search finds them.
        ASSERT_EQ(::allocateCandidates(kAirports), 1);
        simState.clat = -80.0 + 12 * 7919 % 16000 / 100.0;  // at airport K0012
        simState.clon = -179.5 + 12 * 104729 % 35900 / 100.0;
        const Airport* tower = towerSearch(2, 100);
        ASSERT_NE(tower, nullptr) << c.where;
        EXPECT_STREQ(airportText(tower).ident, "K0012") << c.where;
        delete[] core.candidates;
        core.candidates = nullptr;
    }
}

TEST_F(DatabaseFaultTest, ABuildThatRanOutOfMemoryIsNeverStored) {
    writeLibrary();
    ASSERT_EQ(loadOrBuildDatabase(), kAirports);
    const std::string built = readFile(databasePath());
    restart();
    platformSetBulkLimit(limitBulk);
    ASSERT_EQ(rebuildDatabase(), kAirports);
    const int blocks = bulkFault.calls;  // a build takes them; each is refused once below
    const char* const drops[] = {"Out of memory: the airport record at offset ", "Out of memory: a runway of ",
                                 "Out of memory: airport ", "Out of memory for the runway list of "};
    std::set<std::string> dropped;
    for (int block = 0; block < blocks; ++block) {
        restart();
        bulkFault = BulkFault{0, block};
        platformSetBulkLimit(limitBulk);
        LogCapture log(0);
        rebuildDatabase();
        // Only the loss of a block that held no record (the tree's, the sort's) leaves a build to store.
        const bool refused = log.contains(
            "Memory ran out while the scenery was read, so the database is not stored; the next start reads "
            "it again.\r\n");
        EXPECT_EQ(databaseFile.stored, refused ? 0 : 1) << block;
        for (const char* drop : drops)
            if (log.contains(drop)) {
                dropped.insert(drop);
                EXPECT_TRUE(refused) << block << ": " << log.text();
            }
        EXPECT_EQ(readFile(databasePath()), built) << block;
    }
    EXPECT_EQ(dropped.size(), std::size(drops));  // every kind of record was dropped once
}

}  // namespace
