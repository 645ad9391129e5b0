// loadOrBuildDatabase over generated scenery libraries: the build, the cache, the rebuilds, the layer
// order and the traced airport.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "airportdb/database_build.h"
#include "airportdb/database_stamps.h"
#include "scenery/import_fixtures.h"
#include "scenery/md5.h"
#include "support/held_file.h"
#include "support/log_capture.h"
#include "support/many_airports.h"

namespace {

using namespace sceneryw;

AirportDef airportAt(const std::string& ident, double lat, double lon) {
    AirportDef def;
    def.ident = ident;
    def.name = ident + " airport";
    def.latitude = lat;
    def.longitude = lon;
    return def;
}

AirportDef withTower(AirportDef def, double lat, double lon, double alt = 30.0) {
    def.tower = TowerPosition{lat, lon, alt};
    return def;
}

Runway runwayDef(double lat, double lon, double length, double heading, uint8_t number) {
    Runway r;
    r.latitude = lat;
    r.longitude = lon;
    r.lengthM = length;
    r.headingDeg = heading;
    r.primaryNumber = number;
    r.secondaryNumber = static_cast<uint8_t>(number > 18 ? number - 18 : number + 18);
    return r;
}

AreaDef area(int number, int32_t layer, const std::string& local, const std::vector<AirportDef>& airports) {
    AreaDef def;
    def.number = number;
    def.layer = layer;
    def.local = local;
    if (!airports.empty()) {
        BglFileDef file;
        file.name = "APT" + std::to_string(number);
        file.airports = airports;
        def.files = {file};
    }
    return def;
}

class DatabaseBuildTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        prepare();
    }

    // Paths and folders as the start-up leaves them.
    void prepare() {
        useSimulatorFolder(dir.path() / "sim");
        const std::string database = programPath("kestrel.dat");
        ASSERT_LT(database.size(), sizeof core.databasePath);
        std::strcpy(core.databasePath, database.c_str());
    }

    // Everything the process held is gone, as at the next start; the files stay.
    void restart() {
        const int32_t level = currentLogLevel();
        TearDown();
        SetUp();
        setLogLevel(level);
    }

    void write(const LibraryDef& library) {
        std::string error;
        ASSERT_TRUE(writeSceneryLibrary(dir.path() / "sim", library, error)) << error;
    }

    // The airport with this identifier in the spatial index, or null.
    static const Airport* findAirport(const std::string& ident) {
        std::vector<const KdNode*> pending{spatialIndex.spatialIndexRoot};
        while (!pending.empty()) {
            const KdNode* node = pending.back();
            pending.pop_back();
            if (!node) continue;
            if (airportText(node->airport).ident == ident) return node->airport;
            pending.push_back(node->left);
            pending.push_back(node->right);
        }
        return nullptr;
    }

    std::string simPath(const std::string& relative) const { return std::string(basedir) + relative; }
    std::string database() const { return readFile(dir.path() / "kestrel.dat"); }
    std::string stamps() const { return readFile(dir.path() / "kestrel.dat.stamps"); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
    std::filesystem::path bglFile(const std::string& local, const std::string& name) const {
        return resolveSimPath(dir.path() / "sim", local) / "scenery" / (name + ".bgl");
    }
    // A later write time, as a program saving over the file leaves.
    static void touch(const std::filesystem::path& path) {
        std::filesystem::last_write_time(path,
                                         std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    }

    static std::string digestOfFile(const std::string& path) {
        Digest d{};
        EXPECT_EQ(md5File(d, path.c_str()), 1) << path;
        return std::string(reinterpret_cast<const char*>(d.bytes), sizeof d.bytes);
    }
};

TEST_F(DatabaseBuildTest, BuildsAndCachesThenLoads) {
    AirportDef oak = airportAt("KOAK", 37.72, -122.22);
    oak.elevationM = 2.7;
    oak.runways = {runwayDef(37.72, -122.22, 2500.7, 271.9, 27)};  // the only runway, under the airport point
    oak.frequencies = {Frequency{127.2, kComTower, ""}};
    AirportDef sfo = airportAt("KSFO", 37.62, -122.37);
    sfo.runways = {runwayDef(37.62, -122.37, 3618, 298, 28), runwayDef(37.61, -122.36, 2637, 28, 1)};
    LibraryDef library;
    library.areas = {
        area(1, 10, "Scenery\\World", {oak, sfo}),
        area(2, 20, "Addon\\Bay",
             {withTower(airportAt("KSFO", 30, 30), 37.616, -122.385), airportAt("KSJC", 37.36, -121.93)})};
    write(library);

    LogCapture log(4);
    EXPECT_EQ(loadOrBuildDatabase(), 3u);
    EXPECT_TRUE(log.contains("Successfully imported 3 airport infos from scenery.\r\n"));
    EXPECT_EQ(progressRecorder.events,
              (std::vector<std::string>{"open", "range 2", "step", "step", "close"}));
    EXPECT_EQ(progressRecorder.slept, 2500u);
    EXPECT_EQ(progressState.filesScanned, 2u);
    EXPECT_EQ(progressState.airportsFound, 3u);
    EXPECT_EQ(airportTable.entries, nullptr);  // released after the build
    EXPECT_EQ(layerList.layerCount, 0);        // and so is the layer list

    // Header, the digests (highest layer first), then the records in identifier order.
    const std::string bytes = database();
    ASSERT_EQ(bytes.size(), 4u + 16u * 3u + 88u * 3u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x03\x00\x00\x02", 4));
    EXPECT_EQ(bytes.substr(4, 16), digestOfFile(simPath("scenery.cfg")));
    EXPECT_EQ(bytes.substr(20, 16), digestOfFile(simPath("Addon\\Bay\\scenery.dat")));
    EXPECT_EQ(bytes.substr(36, 16), digestOfFile(simPath("Scenery\\World\\scenery.dat")));
    const std::string koak = bytes.substr(52, 88);
    EXPECT_EQ(koak.substr(0, 7), std::string("KOAK\0\0\0", 7));
    EXPECT_EQ(koak[7], 1);                                              // one runway
    EXPECT_EQ(koak.substr(8, 4), std::string("\x76\x59\xC3\x46", 4));   // singleRunway 25004.73046875
    EXPECT_EQ(koak.substr(44, 4), std::string("\xD8\x27\x00\x00", 4));  // 127.200 MHz, code 10200
    EXPECT_EQ(koak.substr(84, 4), std::string(4, '\0'));                // distanceNm
    EXPECT_EQ(bytes.substr(140, 4), "KSFO");
    EXPECT_EQ(bytes[140 + 7], 2);
    EXPECT_EQ(bytes.substr(140 + 8, 4), std::string(4, '\0'));  // two runways: no single-runway value
    EXPECT_EQ(bytes.substr(228, 4), "KSJC");

    restart();
    log.clear();
    LogCapture loadLog(5);
    EXPECT_EQ(loadOrBuildDatabase(), 3u);
    EXPECT_TRUE(
        loadLog.contains("scenery.cfg has not changed\r\nlayer 0 has not changed\r\nlayer 1 has not "
                         "changed\r\n2 airport files have not changed\r\nKOAK\tKOAK airport: AP @("));
    EXPECT_TRUE(loadLog.contains("Successfully loaded 3 airport infos from database.\r\n"));
    EXPECT_FALSE(loadLog.contains("contains airports"));
    EXPECT_TRUE(progressRecorder.events.empty());  // no display for a load
    const Airport* ksfo = findAirport("KSFO");
    ASSERT_NE(ksfo, nullptr);
    EXPECT_EQ(ksfo->twrLat, encodeLatitude(37.616));
    EXPECT_EQ(ksfo->apLat, encodeLatitude(37.62));  // the first record's position
    EXPECT_EQ(ksfo->runwayCount, 2);
    EXPECT_EQ(airportCount(), 0u);  // a load does not use the table
    EXPECT_EQ(database(), bytes);
}

TEST_F(DatabaseBuildTest, HigherLayersAreImportedLaterAndWin) {
    const AirportDef one = airportAt("APT1", 10, 10), two = airportAt("APT2", 20, 20),
                     three = airportAt("APT3", 30, 30), four = airportAt("APT4", 40, 40);
    AirportDef oneBottom = withTower(one, 10.1, 10.1);
    oneBottom.runways = {runwayDef(10, 10, 1000, 90, 9), runwayDef(10, 10, 1200, 180, 18)};
    AirportDef oneTop = withTower(one, 10.3, 10.3);
    oneTop.deletion = Deletion{true, false, {}, {}};
    oneTop.runways = {runwayDef(10, 10, 1500, 45, 4)};
    LibraryDef library;
    library.areas = {
        area(1, 30, "Top", {oneTop, two}),
        area(2, 20, "Middle", {withTower(one, 10.2, 10.2), withTower(two, 20.2, 20.2)}),
        area(3, 10, "Bottom", {oneBottom, withTower(two, 20.1, 20.1), withTower(three, 30.1, 30.1), three}),
        // Equal layers: the lower area number comes first in the list, so it is imported later.
        area(4, 5, "EqualA", {withTower(four, 40.4, 40.4)}),
        area(5, 5, "EqualB", {withTower(four, 40.5, 40.5)}),
    };
    write(library);

    LogCapture log(5);
    EXPECT_EQ(loadOrBuildDatabase(), 4u);
    size_t at = 0;
    for (const char* layer : {"EqualB", "EqualA", "Bottom", "Middle", "Top"}) {
        const size_t found = log.text().find(simPath(std::string(layer) + "\\scenery.dat contains airports"));
        ASSERT_NE(found, std::string::npos) << layer;
        EXPECT_GT(found, at) << layer;
        at = found;
    }
    EXPECT_EQ(findAirport("APT1")->twrLat, encodeLatitude(10.3));  // the top layer gives a tower
    EXPECT_EQ(findAirport("APT1")->runwayCount, 1);                // its DeleteAirport removed the others
    EXPECT_EQ(findAirport("APT2")->twrLat, encodeLatitude(20.2));  // the top record has none: the middle's
    EXPECT_EQ(findAirport("APT3")->twrLat,
              encodeLatitude(30.1));  // a later record of the same file, no tower
    EXPECT_EQ(findAirport("APT4")->twrLat, encodeLatitude(40.4));
}

TEST_F(DatabaseBuildTest, InactiveEmptyAndRelocatedAreas) {
    AreaDef inactive = area(1, 50, "Inactive", {airportAt("IN1", 1, 1)});
    inactive.active = "FALSE";
    AreaDef noAirports = area(2, 40, "Flagless", {airportAt("NF1", 2, 2)});
    noAirports.layerHoldsAirports = false;
    AreaDef relocated = area(4, 20, "Addon\\Quirk\\scenery", {airportAt("QK1", 4, 4)});
    relocated.datFolder = "Addon\\Quirk";  // scenery.dat one folder higher than Local says
    AreaDef missing = area(5, 10, "Missing", {airportAt("MS1", 5, 5)});
    missing.writeDat = false;
    LibraryDef library;
    library.areas = {inactive,  noAirports, area(3, 30, "Empty", {}),
                     relocated, missing,    area(6, 0, "World", {airportAt("W1", 6, 6)})};
    write(library);

    LogCapture log(2);
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    EXPECT_EQ(log.text(), "Area.005: " + simPath("Missing\\scenery.dat") +
                              " could not be opened for reading. Ignoring that layer!\r\n");
    EXPECT_EQ(progressRecorder.events,
              (std::vector<std::string>{"open", "range 4", "step", "step", "step", "step", "close"}));
    EXPECT_NE(findAirport("QK1"), nullptr);
    EXPECT_NE(findAirport("W1"), nullptr);
    EXPECT_EQ(findAirport("IN1"), nullptr);
    EXPECT_EQ(findAirport("NF1"), nullptr);
    EXPECT_EQ(database().size(), 4u + 16u * 5u + 88u * 2u);
}

TEST_F(DatabaseBuildTest, TracedAirportIsBuiltFromTheSceneryAndNeverCached) {
    AirportDef low = withTower(airportAt("KSFO", 37.62, -122.37), 37.616, -122.385, 0);
    low.name = "San Francisco Intl";
    low.frequencies = {Frequency{120.5, kComTower, ""}};
    LibraryDef library;
    AirportDef high = withTower(airportAt("KSFO", 37.62, -122.37), 37.617, -122.386, 0);
    high.name = "SFO";
    library.areas = {area(1, 2, "High", {high}), area(2, 1, "Low", {low, airportAt("KOAK", 37.72, -122.22)})};
    write(library);

    // Traced, and no database file yet: none is written.
    std::strcpy(core.debugAirport, "ksfo");
    LogCapture log(5);
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.tmp"));
    const std::string expected[] = {
        "\r\nKSFO after processing " + simPath("Low\\scenery\\APT2.bgl") +
            "\r\n\tTower frequency: 120.500\r\n\tNumber of runways: 0\r\n"
            "\tAirport location (lat,lon,alt): (37.620000, -122.370000, 0.000000)\r\n"
            "\t  Tower location (lat,lon,alt): (37.616000, -122.385000, 0.000000)\r\n",
        "\r\nKSFO after processing " + simPath("High\\scenery\\APT1.bgl") + "\r\n",
        "\t  Tower location (lat,lon,alt): (37.617000, -122.386000, 0.000000)\r\n",
        "\r\nFINAL RESULT FOR KSFO (SFO)\r\n\tTower frequency: 120.500\r\n"
        "\tNumber of runways: 0\r\n",
        "\tTower altitude: calculated using TowerHeight1Rw\r\n",
    };
    size_t at = 0;
    for (const std::string& part : expected) {
        const size_t found = log.text().find(part, at);
        ASSERT_NE(found, std::string::npos) << part << "\n" << log.text();
        at = found + part.size();
    }
    EXPECT_EQ(log.text().find("KOAK after processing"), std::string::npos);
    ASSERT_NE(core.currentAirport, nullptr);
    EXPECT_STREQ(core.currentAirport->ident, "KSFO");

    // A valid file from an untraced start is neither read nor written by a traced one.
    restart();
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    const std::string cached = database();
    ASSERT_EQ(cached.size(), 4u + 48u + 176u);
    const auto written = std::filesystem::last_write_time(dir.path() / "kestrel.dat");
    restart();
    std::strcpy(core.debugAirport, "KSFO");
    log.clear();
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    EXPECT_FALSE(log.contains("has not changed"));
    EXPECT_FALSE(log.contains("Successfully loaded"));
    EXPECT_TRUE(log.contains("Successfully imported 2 airport infos from scenery.\r\n"));
    EXPECT_EQ(database(), cached);
    EXPECT_EQ(std::filesystem::last_write_time(dir.path() / "kestrel.dat"), written);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.tmp"));
}

TEST_F(DatabaseBuildTest, SceneryWithoutAirportsKeepsTheStoredDatabase) {
    LibraryDef library;
    library.areas = {area(1, 1, "World", {airportAt("W1", 1, 1), airportAt("W2", 2, 2)})};
    write(library);
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    const std::string stored = database() + stamps();
    // The released table still counts two airports; the next build must not take them for its own.
    library.areas[0].files[0].airports.clear();
    write(library);
    LogCapture log(0);
    EXPECT_EQ(loadOrBuildDatabase(), 0u);
    EXPECT_EQ(log.text(), "The scenery library holds no airport, so the database file " +
                              std::string(core.databasePath) +
                              " is left as it was.\r\nNo airports in database!\r\n");
    EXPECT_EQ(database() + stamps(), stored);
    EXPECT_FALSE(exists("kestrel.dat.tmp"));
}

TEST_F(DatabaseBuildTest, ChangedLayerOrDamagedFileIsRebuiltAndThenLoaded) {
    LibraryDef library;
    library.areas = {area(1, 3, "High", {airportAt("HI1", 1, 1)}),
                     area(2, 2, "Middle", {airportAt("MI1", 2, 2)}),
                     area(3, 1, "Low", {airportAt("LO1", 3, 3)})};
    write(library);
    EXPECT_EQ(loadOrBuildDatabase(), 3u);

    // A file added to the middle layer changes its scenery.dat.
    BglFileDef added;
    added.name = "ADDED";
    added.airports = {airportAt("MI2", 2.5, 2.5)};
    library.areas[1].files.push_back(added);
    write(library);
    restart();
    LogCapture log(4);
    EXPECT_EQ(loadOrBuildDatabase(), 4u);
    EXPECT_TRUE(log.contains("Layer at index 1 has changed, requesting database rebuild\r\n"));
    EXPECT_TRUE(log.contains("Successfully imported 4 airport infos from scenery.\r\n"));
    EXPECT_EQ(database().size(), 4u + 16u * 4u + 88u * 4u);

    // A byte too many: the records would not be where the reader takes them from.
    writeFile(dir.path() / "kestrel.dat", database() + "x");
    restart();
    log.clear();
    EXPECT_EQ(loadOrBuildDatabase(), 4u);
    EXPECT_TRUE(log.contains(" bytes. It has to be rebuilt.\r\n"));
    EXPECT_TRUE(log.contains("Successfully imported 4 airport infos from scenery.\r\n"));

    restart();
    log.clear();
    EXPECT_EQ(loadOrBuildDatabase(), 4u);
    EXPECT_EQ(log.text(), "Successfully loaded 4 airport infos from database.\r\n");
    EXPECT_NE(findAirport("MI2"), nullptr);
}

TEST_F(DatabaseBuildTest, UnreadableLibraryEndsTheStartWithoutABuild) {
    // A simulator folder too long for the path of its scenery.cfg.
    std::strcpy(basedir, ("C:\\" + std::string(246, 'f') + "\\").c_str());

    LogCapture log(0);  // a failed start says why at every log level
    EXPECT_EQ(loadOrBuildDatabase(), 0u);
    EXPECT_TRUE(log.contains(" is too long for a path of 259 characters. Cannot read the scenery library!"));
    EXPECT_FALSE(log.contains("No airports in database!"));
    EXPECT_TRUE(progressRecorder.events.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat"));
    EXPECT_EQ(layerList.layerCount, 0);
}

TEST_F(DatabaseBuildTest, AStartRebuildsWhenTheStampsDoNotDescribeTheAirportFiles) {
    LibraryDef library;
    library.areas = {area(1, 3, "World", {airportAt("KOAK", 37.72, -122.22)}),
                     area(2, 2, "Late", {airportAt("LATE", 5, 5)}),
                     area(3, 1, "Gone", {airportAt("GONE", 6, 6)})};
    write(library);
    // Named in scenery.dat but not there: no failure, and stamped as missing.
    std::filesystem::rename(bglFile("Late", "APT2"), dir.path() / "late.bgl");
    ASSERT_EQ(loadOrBuildDatabase(), 2u);
    const std::string file = "The scenery file " + std::string(basedir), belong = ".stamps do not belong to ";
    const auto damage = [&](size_t at, char byte, size_t more = 0) {  // and `more` bytes behind
        writeFile(dir.path() / "kestrel.dat.stamps",
                  stamps().replace(at, 1, 1, byte) + std::string(more, '\0'));
    };
    const struct {
        const char* what;
        std::function<void()> change;
        int level;
        std::string line;
    } cases[] = {
        {"saved over", [&] { touch(bglFile("World", "APT1")); }, 3,
         file + "World\\scenery\\APT1.bgl has changed"},
        {"added", [&] { std::filesystem::rename(dir.path() / "late.bgl", bglFile("Late", "APT2")); }, 3,
         file + "Late\\scenery\\APT2.bgl has been added"},
        {"removed", [&] { std::filesystem::remove(bglFile("Gone", "APT3")); }, 3,
         file + "Gone\\scenery\\APT3.bgl has been removed"},
        {"no stamps", [&] { std::filesystem::remove(dir.path() / "kestrel.dat.stamps"); }, 4,
         ".stamps are missing"},
        {"a byte more", [&] { damage(0, 'K', 1); }, 4, belong},
        {"a record more", [&] { damage(28, 4, kStampSize); }, 4, belong},
        {"another magic", [&] { damage(0, 'X'); }, 4, belong},
        // The previous version may hold frequency codes that were cut instead of rounded.
        {"the previous version", [&] { damage(4, 1); }, 4, belong},
        {"a later version", [&] { damage(4, 3); }, 4, belong},
        {"another number of airports", [&] { damage(8, 3); }, 4, belong},
        {"another layer", [&] { damage(32, 7); }, 4, belong},
        {"another entry", [&] { damage(36, 7); }, 4, belong},
        {"an unknown flag", [&] { damage(40, 2); }, 4, belong},
        {"kestrel.dat written again", [&] { touch(dir.path() / "kestrel.dat"); }, 4, belong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        restart();
        LogCapture log(c.level);
        EXPECT_GT(loadOrBuildDatabase(), 0u);
        EXPECT_TRUE(log.contains(c.line)) << log.text();
        EXPECT_EQ(databaseFile.stored, 1);
    }
    restart();
    LogCapture log(4);
    EXPECT_EQ(loadOrBuildDatabase(), 2u);
    EXPECT_EQ(databaseFile.source, DatabaseSource::file);
}

TEST_F(DatabaseBuildTest, FilesThatCannotBeReadAreStoredWhenTheyFailTwiceAndComeBackReadable) {
    LibraryDef library;
    library.areas = {area(1, 2, "World", {airportAt("W1", 1, 1)}),
                     area(2, 1, "Held", {airportAt("HLD", 3, 3)})};
    write(library);
    const std::filesystem::path held = bglFile("Held", "APT2");
    const std::string bytes = readFile(held);
    writeFile(held, "");  // an empty file is no failure: the library is so
    ASSERT_EQ(loadOrBuildDatabase(), 1u);
    ASSERT_EQ(databaseFile.stored, 1);
    const std::string good = database() + stamps();
    writeFile(held, bytes);  // as an installer writes it, holding it a while
    const std::string notStored = "could not be read (see above), so the database is not stored",
                      again = "could not be read again. The database is stored without their airports",
                      readable = "The scenery file " + simPath("Held\\scenery\\APT2.bgl") +
                                 " can be read again since the airport database was built. kestrel builds it "
                                 "again.\r\n";
    // A start while another program holds the file open, or after it let go, leaving the file as it was.
    const auto start = [&](bool holding, uint32_t airports, DatabaseSource source, const std::string& line) {
        restart();
        std::optional<HeldFile> hold;
        if (holding) hold.emplace(held);
        LogCapture log(3);
        EXPECT_EQ(loadOrBuildDatabase(), airports) << line;
        EXPECT_EQ(databaseFile.source, source) << line;
        EXPECT_TRUE(log.contains(line)) << log.text();
    };
    start(true, 1, DatabaseSource::scenery, notStored);
    EXPECT_EQ(database() + stamps(), good);
    start(false, 2, DatabaseSource::scenery, "");
    touch(held);
    start(true, 1, DatabaseSource::scenery, notStored);  // the store above forgot the first failure
    start(true, 1, DatabaseSource::scenery, again);
    EXPECT_EQ(databaseFile.stored, 1);
    start(true, 1, DatabaseSource::file, "");  // still held: the database stands
    start(false, 2, DatabaseSource::scenery, readable);
    EXPECT_NE(findAirport("HLD"), nullptr);
    EXPECT_EQ(databaseFile.stored, 1);
    start(false, 2, DatabaseSource::file, "");

    // --build reads once more at once, and stores that reading.
    restart();
    HeldFile hold(held);
    LogCapture log(3);
    EXPECT_EQ(rebuildDatabase(), 1u);
    EXPECT_TRUE(log.contains("could not be read (see above). Reading the scenery library once more."));
    EXPECT_TRUE(log.contains(again));
    EXPECT_EQ(databaseFile.stored, 1);
}

TEST_F(DatabaseBuildTest, AStopDuringTheBuildAbandonsItAndSaysNothing) {
    write(manyAirports(30));  // ten files in the lowest layer
    ASSERT_EQ(loadOrBuildDatabase(), 30u);
    const std::string stored = database() + stamps();
    touch(bglFile("Scenery\\World", "APT9"));  // the next start builds

    restart();
    progressRecorder.stopAtFile = 2;
    LogCapture log(2);
    EXPECT_EQ(loadOrBuildDatabase(), 0u);
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(progressState.filesScanned, 2u);  // no file after the stop
    EXPECT_EQ(progressRecorder.events, (std::vector<std::string>{"open", "range 3", "close"}));
    EXPECT_EQ(progressRecorder.slept, 0u);  // nor the final display
    EXPECT_EQ(database() + stamps(), stored);
    EXPECT_FALSE(exists("kestrel.dat.tmp") || exists("kestrel.dat.stamps.tmp"));

    // Once the build is complete, a stop no longer takes its airports: the run sequence stops next.
    restart();
    progressRecorder.stopAtClose = true;
    EXPECT_EQ(loadOrBuildDatabase(), 30u);
    EXPECT_EQ(databaseFile.stored, 1);
}

}  // namespace
