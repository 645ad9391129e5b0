// loadOrBuildDatabase over generated scenery libraries: the build, the cache, the rebuilds, the layer
// order and the traced airport.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "airportdb/database_build.h"
#include "scenery/import_fixtures.h"
#include "scenery/md5.h"
#include "support/log_capture.h"

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

    // A BGL file of an area written by `write`, on disk.
    std::filesystem::path bglFile(const std::string& local, const std::string& name) const {
        return resolveSimPath(dir.path() / "sim", local) / "scenery" / (name + ".bgl");
    }
    // Writes the file as an airport editor saving over it does: same name, a later write time.
    static void saveOver(const std::filesystem::path& path, const BglFileDef& def) {
        const Bytes bytes = buildBgl(bglFileFor(def));
        const auto before = std::filesystem::exists(path) ? std::filesystem::last_write_time(path)
                                                          : std::filesystem::file_time_type::clock::now();
        writeFile(path, std::string(bytes.begin(), bytes.end()));
        std::filesystem::last_write_time(path, before + std::chrono::seconds(2));
    }
    // A file that is there but cannot be read, on every platform: a folder of that name.
    static void makeUnreadable(const std::filesystem::path& path) {
        std::filesystem::remove(path);
        std::filesystem::create_directories(path);
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
    ASSERT_EQ(loadOrBuildDatabase(), 2u);
    const std::string good = database(), stamps = readFile(dir.path() / "kestrel.dat.stamps");
    const std::string kept = "The scenery library holds no airport, so the database file " +
                             std::string(core.databasePath) +
                             " is left as it was.\r\nNo airports in database!\r\n";

    // A library that reads as empty (a folder without scenery.cfg), and one whose areas hold no airport.
    AreaDef empty = area(1, 1, "Nothing", {});
    empty.files = {BglFileDef{}};
    empty.files[0].name = "EMPTY";
    const std::filesystem::path noCfg = dir.path() / "nocfg";
    std::filesystem::create_directories(noCfg);
    for (const bool airportless : {true, false}) {
        // The first in the same process as the build: the table it released still counts two airports.
        if (!airportless) restart();
        if (airportless) {
            library.areas = {empty};
            write(library);
        } else {
            useSimulatorFolder(noCfg);
        }
        LogCapture log(0);
        EXPECT_EQ(loadOrBuildDatabase(), 0u);
        EXPECT_EQ(log.text(), kept);
        EXPECT_EQ(databaseFile.source, DatabaseSource::none);
        EXPECT_EQ(database(), good);
        EXPECT_EQ(readFile(dir.path() / "kestrel.dat.stamps"), stamps);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.tmp"));
    }
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

TEST_F(DatabaseBuildTest, AirportFileChangedInPlaceIsNoticed) {
    BglFileDef edited;
    edited.name = "APT1";
    edited.airports = {withTower(airportAt("KOAK", 37.72, -122.22), 37.71, -122.21)};
    BglFileDef late = edited;
    late.name = "LATE";
    late.airports = {airportAt("LATE", 5, 5)};
    late.written = false;  // named in scenery.dat, not there: not a failure, but noted
    BglFileDef gone = late;
    gone.name = "GONE";
    gone.airports = {airportAt("GONE", 6, 6)};
    gone.written = true;
    LibraryDef library;
    library.areas = {area(1, 1, "World", {airportAt("KOAK", 37.72, -122.22)})};
    library.areas[0].files.push_back(late);
    library.areas[0].files.push_back(gone);
    write(library);
    LogCapture log(3);
    ASSERT_EQ(loadOrBuildDatabase(), 2u);
    EXPECT_EQ(databaseFile.source, DatabaseSource::scenery);
    EXPECT_TRUE(log.text().find("could not be read") == std::string::npos) << log.text();
    // Three files by layer and entry behind the header: the missing one with no size.
    ASSERT_EQ(stamps().size(), 32u + 3u * 24u);
    EXPECT_EQ(stamps().substr(0, 8), std::string("KSTP\x01\x00\x00\x00", 8));
    EXPECT_EQ(stamps().substr(32 + 24 + 8, 8), std::string(8, '\xFF'));

    const std::string world = "World\\scenery\\";
    const struct {
        const char* what;
        std::function<void()> change;
        std::string line;     // level 3
        const char* present;  // an airport the rebuilt database holds
    } cases[] = {
        {"a tower moved", [&] { saveOver(bglFile("World", "APT1"), edited); },
         simPath(world + "APT1.bgl") + " has changed", "KOAK"},
        {"a file appeared", [&] { saveOver(bglFile("World", "LATE"), late); },
         simPath(world + "LATE.bgl") + " has been added", "LATE"},
        {"a file went", [&] { std::filesystem::remove(bglFile("World", "GONE")); },
         simPath(world + "GONE.bgl") + " has been removed", "LATE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string digests = database().substr(4, 32);
        c.change();
        restart();
        log.clear();
        EXPECT_GT(loadOrBuildDatabase(), 0u);
        EXPECT_EQ(log.text().rfind("The scenery file " + c.line +
                                       " since the airport database was built. kestrel builds it again.\r\n",
                                   0),
                  0u)
            << log.text();
        EXPECT_EQ(progressRecorder.events.front(), "open");
        EXPECT_NE(findAirport(c.present), nullptr);
        EXPECT_EQ(database().substr(4, 32), digests);  // no scenery.dat changed
        restart();
        EXPECT_GT(loadOrBuildDatabase(), 0u);
        EXPECT_EQ(databaseFile.source, DatabaseSource::file);
    }
    EXPECT_EQ(findAirport("KOAK")->twrLat, encodeLatitude(37.71));
    EXPECT_EQ(findAirport("GONE"), nullptr);
}

TEST_F(DatabaseBuildTest, StampsThatDoNotBelongToTheFileAreNeverTrusted) {
    LibraryDef library;
    library.areas = {area(1, 2, "High", {airportAt("HI1", 1, 1)}),
                     area(2, 1, "Low", {airportAt("LO1", 2, 2)})};
    write(library);
    const std::string missing = ".stamps are missing or unreadable, requesting",
                      belong = ".stamps do not belong to ";
    // The stamps' bytes from `at` on replaced ("" cuts the file there, "+" appends one); at -1 kestrel.dat
    // is written again with the same bytes, as an older kestrel that knows nothing of the stamps does.
    const struct {
        const char* what;
        int at;
        std::string bytes, line;
    } cases[] = {
        {"empty", 0, "", missing},
        {"a byte short", 79, "", belong},
        {"a byte more", 80, "+", belong},
        {"another magic", 0, "X", belong},
        {"another version", 4, "\x02", belong},
        {"another record count", 8, "\x03", belong},
        {"another kestrel.dat length", 12, "\x01", belong},
        {"a file count too many", 28, "\x03", belong},
        {"a huge file count", 28, "\xFF\xFF\xFF\xFF", belong},
        {"another layer", 32, "\x07", belong},
        {"another entry", 36, "\x07", belong},
        {"another file size", 40, "\x07",
         "The scenery file " + simPath("Low\\scenery\\APT2.bgl") + " has changed"},
        {"kestrel.dat written again", -1, "", belong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        std::filesystem::remove(dir.path() / "kestrel.dat");
        ASSERT_EQ(loadOrBuildDatabase(), 2u);
        restart();
        ASSERT_EQ(loadOrBuildDatabase(), 2u);
        ASSERT_EQ(databaseFile.source, DatabaseSource::file);
        std::string text = stamps();
        if (c.at < 0) {
            const auto time = std::filesystem::last_write_time(dir.path() / "kestrel.dat");
            writeFile(dir.path() / "kestrel.dat", database());
            std::filesystem::last_write_time(dir.path() / "kestrel.dat", time + std::chrono::seconds(1));
        } else if (c.bytes == "+") {
            text += "x";
        } else if (c.bytes.empty()) {
            text.resize(static_cast<size_t>(c.at));
        } else {
            text.replace(static_cast<size_t>(c.at), c.bytes.size(), c.bytes);
        }
        if (c.at >= 0) writeFile(dir.path() / "kestrel.dat.stamps", text);
        restart();
        LogCapture log(4);
        EXPECT_EQ(loadOrBuildDatabase(), 2u);
        EXPECT_EQ(databaseFile.source, DatabaseSource::scenery);
        EXPECT_TRUE(log.contains(c.line)) << log.text();
    }
}

TEST_F(DatabaseBuildTest, FilesThatCannotBeReadAreReadAgainAndStoredOnlyWhenTheyFailTwice) {
    BglFileDef held;
    held.name = "HELD";
    held.airports = {airportAt("HLD", 3, 3)};
    LibraryDef library;
    library.areas = {area(1, 1, "World", {airportAt("W1", 1, 1)})};
    library.areas[0].files.push_back(held);
    const std::string heldPath = simPath("World\\scenery\\HELD.bgl");
    const std::string notStored =
        "1 of the scenery files could not be read (see above), so the database is not stored: their airports "
        "are missing on this flight, and the next start reads them again.\r\n";
    const std::string storedWithout =
        "1 of the scenery files could not be read again. The database is stored without their airports, "
        "which "
        "come back when those files change.\r\n";
    for (const bool forGood : {false, true}) {
        SCOPED_TRACE(forGood ? "fails for good" : "fails once");
        restart();
        write(library);
        ASSERT_EQ(loadOrBuildDatabase(), 2u);
        const std::string good = database(), goodStamps = stamps();

        // Held by another program while the build reads it: the build is used, not stored.
        makeUnreadable(bglFile("World", "HELD"));
        restart();
        LogCapture log(3);
        EXPECT_EQ(loadOrBuildDatabase(), 1u);
        EXPECT_TRUE(log.contains("Unable to open file \"" + heldPath + "\", error was: ")) << log.text();
        EXPECT_TRUE(log.contains(notStored)) << log.text();
        EXPECT_EQ(findAirport("HLD"), nullptr);
        EXPECT_EQ(database() + stamps(), good + goodStamps);
        EXPECT_TRUE(exists("kestrel.dat.unread"));

        if (!forGood) {
            std::filesystem::remove(bglFile("World", "HELD"));
            saveOver(bglFile("World", "HELD"), held);
        }
        restart();
        log.clear();
        EXPECT_EQ(loadOrBuildDatabase(), forGood ? 1u : 2u);
        EXPECT_EQ(log.contains(storedWithout), forGood) << log.text();
        EXPECT_FALSE(exists("kestrel.dat.unread"));
        restart();
        log.clear();
        EXPECT_EQ(loadOrBuildDatabase(), forGood ? 1u : 2u);
        EXPECT_EQ(databaseFile.source, DatabaseSource::file);
        EXPECT_EQ(log.text(), "");
        std::filesystem::remove_all(bglFile("World", "HELD"));
    }

    // An explicit build reads everything once more at once, and stores the second reading.
    makeUnreadable(bglFile("World", "HELD"));
    restart();
    LogCapture log(3);
    EXPECT_EQ(rebuildDatabase(), 1u);
    EXPECT_TRUE(
        log.contains("1 of the scenery files could not be read (see above). Reading the scenery library "
                     "once more.\r\n"));
    EXPECT_TRUE(log.contains(storedWithout));
    EXPECT_FALSE(log.contains(notStored));
    EXPECT_EQ(databaseFile.stored, 1);
    EXPECT_EQ(std::count(progressRecorder.events.begin(), progressRecorder.events.end(), "open"), 2);

    // Neither a missing nor an empty file is one that could not be read: the library is so.
    std::filesystem::remove_all(bglFile("World", "HELD"));
    writeFile(bglFile("World", "HELD"), "");
    restart();
    log.clear();
    EXPECT_EQ(loadOrBuildDatabase(), 1u);
    EXPECT_FALSE(log.contains("could not be read")) << log.text();
    EXPECT_EQ(databaseFile.stored, 1);
}

TEST_F(DatabaseBuildTest, StopDuringTheBuildKeepsThePreviousFilesAndSaysNothing) {
    LibraryDef library;
    library.areas = {area(1, 2, "High", {airportAt("HI1", 1, 1)}),
                     area(2, 1, "Low", {airportAt("LO1", 2, 2)})};
    for (int i = 0; i < 4; ++i) {
        BglFileDef more;
        more.name = "MORE" + std::to_string(i);
        more.airports = {airportAt("M" + std::to_string(i), 3 + i, 3)};
        library.areas[1].files.push_back(more);
    }
    write(library);
    ASSERT_EQ(loadOrBuildDatabase(), 6u);
    const std::string good = database(), goodStamps = stamps();
    library.areas[0].layer = 3;  // another scenery.cfg: the file no longer loads
    write(library);

    for (const uint32_t stopAt : {0u, 2u}) {  // before the build; at the second file of the lowest layer
        SCOPED_TRACE(stopAt);
        restart();
        if (stopAt == 0) core.stopRequested.set();
        progressRecorder.stopAtFile = stopAt;
        LogCapture log(5);
        EXPECT_EQ(loadOrBuildDatabase(), 0u);
        EXPECT_EQ(progressState.filesScanned, stopAt);  // no file after the stop
        EXPECT_EQ(progressState.layersDone, 0u);
        EXPECT_FALSE(log.contains("No airports") || log.contains("left as it was") ||
                     log.contains("Successfully"));
        EXPECT_EQ(progressRecorder.events.back(), "close");
        EXPECT_EQ(progressRecorder.slept, 0u);  // nor the final display
        EXPECT_EQ(database() + stamps(), good + goodStamps);
        EXPECT_FALSE(exists("kestrel.dat.tmp") || exists("kestrel.dat.stamps.tmp"));
    }
    // Once the build is complete, a stop no longer takes its airports: the run sequence stops next.
    restart();
    progressRecorder.stopAtClose = true;
    EXPECT_EQ(loadOrBuildDatabase(), 6u);
    EXPECT_EQ(databaseFile.stored, 1);
}

}  // namespace
