// kestrel.dat: the bytes the writer leaves, every reason the reader refuses a file, and the writes that
// fail halfway.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "airportdb/database_file.h"
#include "core/bytes.h"
#include "scenery/import_fixtures.h"
#include "support/log_capture.h"

namespace {

Digest digestOf(uint8_t seed) {
    Digest d;
    for (int i = 0; i < 16; ++i)
        d.bytes[i] = static_cast<uint8_t>(seed * 16 + i);
    return d;
}

std::string digestText(const Digest& d) {
    return std::string(reinterpret_cast<const char*>(d.bytes), sizeof d.bytes);
}

size_t occurrences(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(needle, at)) != std::string::npos; at += needle.size())
        ++n;
    return n;
}

std::string headerWord(uint32_t word) {
    uint8_t bytes[4];
    putU32(bytes, word);
    return std::string(reinterpret_cast<const char*>(bytes), 4);
}

class DatabaseFileTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        setDatabasePath(programPath("kestrel.dat"));
        setLayers(digestOf(9), {digestOf(1)});
    }

    void setDatabasePath(const std::string& path) {
        ASSERT_LT(path.size(), sizeof core.databasePath);
        std::strcpy(core.databasePath, path.c_str());
    }

    // The layer list as the scenery library reader leaves it: heap blocks the release frees.
    void setLayers(const Digest& cfg, const std::vector<Digest>& layers) {
        releaseSceneryLibrary();
        layerList.sceneryCfgDigest = cfg;
        layerList.layerCount = static_cast<int32_t>(layers.size());
        layerList.layerPaths = static_cast<char**>(std::calloc(layers.size() + 1, sizeof(char*)));
        layerList.layerDigests = static_cast<Digest**>(std::calloc(layers.size() + 1, sizeof(Digest*)));
        for (size_t i = 0; i < layers.size(); ++i) {
            layerList.layerDigests[i] = static_cast<Digest*>(std::malloc(sizeof(Digest)));
            *layerList.layerDigests[i] = layers[i];
        }
    }

    // The digests a file for the current layer list begins with.
    std::string digests() const {
        std::string text = digestText(layerList.sceneryCfgDigest);
        for (int32_t i = 0; i < layerList.layerCount; ++i)
            text += digestText(*layerList.layerDigests[i]);
        return text;
    }

    Airport finalAirport(const char* ident, double lat, double lon) {
        Airport a = *airport(ident, lat, lon);
        a.singleRunway = 0.0f;
        return a;
    }

    std::string recordText(const Airport& a) const {
        return std::string(reinterpret_cast<const char*>(&a), sizeof a);
    }

    // Loads the file at databasePath as the start-up does: opened for reading, then loadDatabase.
    uint32_t load() {
        databaseFile.databaseHandle = platformOpenFileForReading(core.databasePath);
        EXPECT_NE(databaseFile.databaseHandle, kInvalidHandle);
        const uint32_t count = loadDatabase();
        EXPECT_EQ(databaseFile.databaseHandle, kInvalidHandle);  // always closed
        return count;
    }

    std::filesystem::path databaseFilePath() const { return dir.path() / "kestrel.dat"; }
    std::filesystem::path temporaryFilePath() const { return dir.path() / "kestrel.dat.tmp"; }
};

TEST_F(DatabaseFileTest, WrittenBytesAreHeaderDigestsAndRecords) {
    Airport a = finalAirport("EGKK", 51.15, -0.19);
    Airport b = finalAirport("EGLL", 51.47, -0.46);
    std::strcpy(b.name, "London Heathrow");
    b.towerCom[0] = 1300;
    b.runwayCount = 1;
    b.singleRunway = 25004.73046875f;

    ASSERT_EQ(openDatabaseForWrite(), 1);
    // Until it is complete the file has its temporary name, and its header announces no records.
    EXPECT_FALSE(std::filesystem::exists(databaseFilePath()));
    EXPECT_EQ(readFile(temporaryFilePath()), headerWord(0x02000000) + digests());
    writeDatabaseRecord(&a);
    writeDatabaseRecord(&b);
    finishDatabaseFile(2);
    EXPECT_EQ(databaseFile.databaseHandle, kInvalidHandle);
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));

    const std::string bytes = readFile(databaseFilePath());
    ASSERT_EQ(bytes.size(), 4u + 16u + 16u + 2u * 88u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\x00\x00\x02", 4));
    EXPECT_EQ(bytes.substr(4, 32), digests());
    // The record layout, field by field.
    const std::string second = bytes.substr(124, 88);
    EXPECT_EQ(second.substr(0, 5), std::string("EGLL\0", 5));
    EXPECT_EQ(second.substr(8, 4), std::string("\x76\x59\xC3\x46", 4));  // 25004.73046875f
    EXPECT_EQ(second.substr(12, 16), "London Heathrow" + std::string(1, '\0'));
    EXPECT_EQ(second.substr(44, 2), std::string("\x14\x05", 2));  // 1300
    uint32_t apLat = 0;
    readU32(ByteView{reinterpret_cast<const uint8_t*>(second.data()), second.size()}, 64, apLat);
    EXPECT_EQ(apLat, rawLat(51.47));

    // Read back, the records are in the spatial index in file order, from one block.
    LogCapture log(5);
    EXPECT_EQ(load(), 2u);
    EXPECT_EQ(log.text().rfind("scenery.cfg has not changed\r\nlayer 0 has not changed\r\nEGKK\t: AP @(", 0),
              0u);
    EXPECT_TRUE(log.contains("\r\nEGLL\tLondon Heathrow: AP @(51.470000, -0.460000, 0.000000), 1 rwys (F);"));
    ASSERT_NE(spatialIndex.spatialIndexRoot, nullptr);
    const Airport* first = spatialIndex.spatialIndexRoot->airport;
    EXPECT_EQ(std::memcmp(first, &a, sizeof a), 0);
    EXPECT_EQ(std::memcmp(first + 1, &b, sizeof b), 0);
}

TEST_F(DatabaseFileTest, HeadersThatAreNotLoaded) {
    const std::string previous =
        "A datafile from a previous version of kestrel has been detected.\r\n"
        "Because of changes in the datafile layout, it needs to be rebuilt.\r\n"
        "If you want to take advantage of possible new options, please make\r\n"
        "sure you're using an up-to-date configuration file.\r\n";
    const std::string newer =
        "A datafile from a NEWER version of kestrel has been detected.\r\n"
        "Because kestrel will not be able to work with this file, the datafile has to be rebuilt.\r\n";
    const std::string body = digests() + std::string(5 * 88, 'r');
    const struct {
        std::string bytes;
        std::string log;
    } cases[] = {
        {"", ""},
        {"\x02", ""},
        {std::string("\x05\x00\x02", 3), ""},
        {headerWord(0), ""},
        {headerWord(0x02000000) + body, ""},  // an interrupted build
        {headerWord(0x01000005) + body, previous},
        {headerWord(0x00000005) + body, previous},
        {headerWord(0x03000005) + body, newer},
        {headerWord(0xFF000005) + body, newer},
    };
    for (const auto& c : cases) {
        writeFile(databaseFilePath(), c.bytes);
        LogCapture log(5);
        EXPECT_EQ(load(), 0u) << c.bytes.size();
        EXPECT_EQ(log.text(), c.log) << c.bytes.size();
    }
    EXPECT_EQ(spatialIndex.spatialIndexRoot, nullptr);
}

TEST_F(DatabaseFileTest, ChangedDigestsAreNotLoaded) {
    setLayers(digestOf(9), {digestOf(1), digestOf(2), digestOf(3)});
    const Airport a = finalAirport("LSZH", 47.46, 8.55);
    const std::string records = recordText(a);
    const std::string cfg = digestText(digestOf(9));
    const std::string layers = digestText(digestOf(1)) + digestText(digestOf(2)) + digestText(digestOf(3));

    writeFile(databaseFilePath(), headerWord(0x02000001) + cfg + digestText(digestOf(1)) +
                                      digestText(digestOf(7)) + digestText(digestOf(3)) + records);
    LogCapture log(5);
    EXPECT_EQ(load(), 0u);
    EXPECT_EQ(log.text(),
              "scenery.cfg has not changed\r\nlayer 0 has not changed\r\n"
              "Layer at index 1 has changed, requesting database rebuild\r\n");

    writeFile(databaseFilePath(), headerWord(0x02000001) + digestText(digestOf(8)) + layers + records);
    log.clear();
    EXPECT_EQ(load(), 0u);
    EXPECT_EQ(log.text(), "scenery.cfg has changed, requesting database rebuild\r\n");

    // A file that ends inside the digests.
    writeFile(databaseFilePath(), headerWord(0x02000001) + cfg + digestText(digestOf(1)) + "\x02\x03");
    log.clear();
    EXPECT_EQ(load(), 0u);
    EXPECT_EQ(log.text(), "scenery.cfg has not changed\r\nlayer 0 has not changed\r\nThe datafile " +
                              std::string(core.databasePath) +
                              " is 38 bytes long, but 1 airports and 3 scenery layers take 156 bytes. It has "
                              "to be rebuilt.\r\n");
    EXPECT_EQ(spatialIndex.spatialIndexRoot, nullptr);
}

TEST_F(DatabaseFileTest, FileOfTheWrongLengthIsNotLoaded) {
    setLayers(digestOf(9), {digestOf(1), digestOf(2)});
    const std::string records = recordText(finalAirport("AAA", 1, 1)) + recordText(finalAirport("BBB", 2, 2));
    const std::string path = core.databasePath;
    const struct {
        std::string bytes;
        uint64_t length;
    } cases[] = {
        {headerWord(0x02000002) + digests() + records + "x", 229},           // a byte too many
        {headerWord(0x02000002) + digests() + records.substr(0, 100), 152},  // a short record block
        {headerWord(0x02000003) + digests() + records, 228},                 // a count too high
    };
    for (const auto& c : cases) {
        writeFile(databaseFilePath(), c.bytes);
        LogCapture log(3);
        EXPECT_EQ(load(), 0u);
        EXPECT_EQ(log.text(),
                  "The datafile " + path + " is " + std::to_string(c.length) + " bytes long, but " +
                      std::to_string(c.bytes[0]) + " airports and 2 scenery layers take " +
                      std::to_string(4 + 48 + 88 * c.bytes[0]) + " bytes. It has to be rebuilt.\r\n");
    }

    // The same scenery.cfg and first layer, but the second layer gone: the records would be read 16
    // bytes off.
    writeFile(databaseFilePath(), headerWord(0x02000002) + digests() + records);
    setLayers(digestOf(9), {digestOf(1)});
    LogCapture log(3);
    EXPECT_EQ(load(), 0u);
    EXPECT_TRUE(log.contains("is 228 bytes long, but 2 airports and 1 scenery layers take 212 bytes."));
    EXPECT_EQ(spatialIndex.spatialIndexRoot, nullptr);
}

TEST_F(DatabaseFileTest, FileThatCannotBeCreatedIsReportedAndTheBuildGoesOn) {
    setDatabasePath(programPath("missing-folder/kestrel.dat"));
    LogCapture log(2);
    EXPECT_EQ(openDatabaseForWrite(), 0);
    EXPECT_EQ(databaseFile.databaseHandle, kInvalidHandle);
    const Airport a = finalAirport("AAA", 1, 1);
    writeDatabaseRecord(&a);
    finishDatabaseFile(1);
    EXPECT_EQ(log.text().rfind("Invalid file handle while opening database file " +
                                   std::string(core.databasePath) + ".tmp for writing, error was: ",
                               0),
              0u);
    EXPECT_EQ(log.text().substr(log.text().size() - 3), ".\r\n");
    EXPECT_EQ(occurrences(log.text(), "database file"), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing-folder"));
}

TEST_F(DatabaseFileTest, FailedWriteLeavesNoFileAndThePreviousOneAlone) {
    writeFile(databaseFilePath(), "previous");
    ASSERT_EQ(openDatabaseForWrite(), 1);
    const Airport a = finalAirport("AAA", 1, 1);
    writeDatabaseRecord(&a);
    // The next write goes to a handle that cannot write: as when the disk fills up.
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = platformOpenFileForReading(databaseFile.temporaryPath);
    ASSERT_NE(databaseFile.databaseHandle, kInvalidHandle);

    LogCapture log(2);
    uint32_t written = 1;
    while (databaseFile.databaseHandle != kInvalidHandle && written < 10000) {
        writeDatabaseRecord(&a);
        ++written;
    }
    EXPECT_LT(written, 10000u);  // the failure is found while the build still writes records
    writeDatabaseRecord(&a);
    finishDatabaseFile(written);
    EXPECT_EQ(log.text().rfind(
                  "Error while writing database file " + std::string(core.databasePath) + ", error was: ", 0),
              0u);
    EXPECT_EQ(occurrences(log.text(), "database file"), 1u);
    EXPECT_EQ(log.text().substr(log.text().size() - 31), ". The database is not stored.\r\n");
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));
    EXPECT_EQ(readFile(databaseFilePath()), "previous");
}

TEST_F(DatabaseFileTest, WriteFailureAtTheEndLeavesNoFile) {
    ASSERT_EQ(openDatabaseForWrite(), 1);
    const Airport a = finalAirport("AAA", 1, 1);
    writeDatabaseRecord(&a);
    platformCloseHandle(databaseFile.databaseHandle);
    databaseFile.databaseHandle = platformOpenFileForReading(databaseFile.temporaryPath);
    LogCapture log(2);
    finishDatabaseFile(1);  // the record still to be written fails
    EXPECT_EQ(occurrences(log.text(), "Error while writing database file"), 1u);
    EXPECT_EQ(databaseFile.databaseHandle, kInvalidHandle);
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));
    EXPECT_FALSE(std::filesystem::exists(databaseFilePath()));
}

TEST_F(DatabaseFileTest, UnfinishedOrOversizedBuildsNeverReplaceTheFile) {
    writeFile(databaseFilePath(), "previous");
    ASSERT_EQ(openDatabaseForWrite(), 1);
    const Airport a = finalAirport("AAA", 1, 1);
    writeDatabaseRecord(&a);
    // A build that stops here (the process ends) leaves the previous file as it was.
    EXPECT_EQ(readFile(databaseFilePath()), "previous");

    // A count that does not fit 24 bits would spill into the version byte.
    LogCapture log(2);
    finishDatabaseFile(0x1000000);
    EXPECT_EQ(log.text(),
              "16777216 airports are more than the 16777215 a database file can hold. The database is not "
              "stored.\r\n");
    EXPECT_EQ(databaseFile.databaseHandle, kInvalidHandle);
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));
    EXPECT_EQ(readFile(databaseFilePath()), "previous");

    // A stale temporary file from an earlier crash is simply written over.
    writeFile(temporaryFilePath(), std::string(1000, 'z'));
    ASSERT_EQ(openDatabaseForWrite(), 1);
    writeDatabaseRecord(&a);
    finishDatabaseFile(1);
    EXPECT_EQ(readFile(databaseFilePath()), headerWord(0x02000001) + digests() + recordText(a));

    // Nor does a build without records: it would put an empty database over a good one.
    ASSERT_EQ(openDatabaseForWrite(), 1);
    finishDatabaseFile(0);
    EXPECT_EQ(readFile(databaseFilePath()), headerWord(0x02000001) + digests() + recordText(a));
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));

    // Nor does a rename refused for good: a folder in its place never gives way.
    std::filesystem::remove(databaseFilePath());
    writeFile(databaseFilePath() / "x", "");
    ASSERT_EQ(openDatabaseForWrite(), 1);
    writeDatabaseRecord(&a);
    finishDatabaseFile(1);
    const std::string target = core.databasePath;
    EXPECT_TRUE(
        log.contains("Unable to replace database file " + target + " with " + target + ".tmp, error"));
    EXPECT_TRUE(log.contains(". The database is not stored; the previous file stays as it was.\r\n"));
    EXPECT_FALSE(std::filesystem::exists(temporaryFilePath()));
}

}  // namespace
