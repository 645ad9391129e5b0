// The real kestrel program builds its airport database from the simulator's scenery library, caches it
// in kestrel.dat, loads it on the next start, and ends with exit code 1 when there is no airport.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "e2e/e2e_fixture.h"
#include "platform/platform.h"
#include "support/link_leftovers.h"

namespace {

using namespace sceneryw;

constexpr int kTimeoutMs = 90000;

AirportDef airportAt(const std::string& ident, double lat, double lon) {
    AirportDef def;
    def.ident = ident;
    def.name = ident + " airport";
    def.latitude = lat;
    def.longitude = lon;
    return def;
}

class DatabaseStartup : public ::testing::Test {
protected:
    void SetUp() override {
        f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
        ASSERT_TRUE(f.startSim());
    }

    // Runs kestrel until `needle` is printed, then ends it; returns the output.
    std::string runUntil(const std::string& needle, const std::vector<std::string>& arguments = {}) {
        EXPECT_TRUE(f.startKestrel(arguments));
        EXPECT_TRUE(f.kestrel.waitForOutput(needle, kTimeoutMs)) << f.kestrel.output();
        f.stopKestrel();
        return f.kestrel.output();
    }

    std::string database() const { return readFile(f.kestrelFile("kestrel.dat")); }

    FlightFixture f;
};

TEST_F(DatabaseStartup, BuildsTheDatabaseOnceAndLoadsItAfterwards) {
    AreaDef world;
    world.local = "Scenery\\World";
    world.layer = 10;
    world.files.resize(1);
    world.files[0].name = "WORLD";
    world.files[0].airports = {airportAt("KSFO", 37.62, -122.37), airportAt("KOAK", 37.72, -122.22)};
    AreaDef addon = world;
    addon.local = "Addon Scenery\\Bay";
    addon.layer = 20;
    addon.files[0].airports = {airportAt("KSFO", 37.62, -122.37), airportAt("KSJC", 37.36, -121.93)};
    LibraryDef library;
    library.areas = {world, addon};
    f.writeScenery(library);

    std::string out = runUntil("Successfully imported 3 airport infos from scenery.\r\n");
    EXPECT_NE(out.find("Found an existing entry for KSFO\r\n"), std::string::npos);
    const std::string built = database();
    EXPECT_EQ(built.size(), 4u + 16u * 3u + 88u * 3u);
    EXPECT_EQ(built.substr(0, 4), std::string("\x03\x00\x00\x02", 4));
    EXPECT_FALSE(std::filesystem::exists(f.kestrelFile("kestrel.dat.tmp")));

    out = runUntil("Successfully loaded 3 airport infos from database.\r\n");
    EXPECT_EQ(out.find("Successfully imported"), std::string::npos);
    const std::string ready = "Ready: 3 airports loaded from " + f.kestrelFile("kestrel.dat") +
                              ", FS9 folder " + f.simFolder() + "\r\n";
    ASSERT_NE(out.find(ready), std::string::npos) << out;
    // kestrel.log holds the run's console lines, each behind the time of day, and nothing else. Both
    // are compared up to the start's last line: the run is stopped when the console shows the load, and
    // a fast start may have written its first tower to either of them by then.
    const std::string logged =
        std::regex_replace(readFile(f.kestrelFile("kestrel.log")), std::regex("(^|\n)[0-9:.]{12} "), "$1");
    const size_t end = out.find(ready) + ready.size();
    EXPECT_EQ(logged.substr(0, end), out.substr(0, end)) << logged;

    // A traced airport is built from the scenery and leaves the file alone.
    out = runUntil("Successfully imported 3 airport infos from scenery.\r\n", {"kSfO"});
    EXPECT_EQ(out.find("Debugging airport: kSfO\r\n"), 0u);
    EXPECT_NE(out.find("\r\nFINAL RESULT FOR KSFO (KSFO airport)\r\n"), std::string::npos);
    EXPECT_EQ(database(), built);

    // A new file in a layer changes its index: noticed, the database rebuilt and cached again. (The BGL
    // files themselves are not digested.)
    addon.files.push_back(addon.files[0]);
    addon.files[1].name = "EXTRA";
    addon.files[1].airports = {airportAt("KPAO", 37.46, -122.11)};
    library.areas = {world, addon};
    f.writeScenery(library);
    out = runUntil("Successfully imported 4 airport infos from scenery.\r\n");
    EXPECT_NE(out.find("has changed, requesting database rebuild\r\n"), std::string::npos) << out;
    EXPECT_EQ(database().size(), 4u + 16u * 3u + 88u * 4u);

    // A file saved over leaves scenery.dat as it was: its stamp tells.
    const std::filesystem::path saved = std::filesystem::path(f.kestrelFile("")).parent_path().parent_path() /
                                        "FS9/Addon Scenery/Bay/scenery/EXTRA.bgl";
    std::filesystem::last_write_time(saved,
                                     std::filesystem::last_write_time(saved) + std::chrono::seconds(2));
    out = runUntil("Successfully imported 4 airport infos from scenery.\r\n");
    const std::string changed = f.simFolder() + "Addon Scenery\\Bay\\scenery\\EXTRA.bgl has changed since";
    EXPECT_NE(out.find("The scenery file " + changed), std::string::npos) << out;
}

TEST_F(DatabaseStartup, BuiltBeforeTheFlightTheDatabaseIsLoadedByTheStart) {
    AreaDef world;
    world.local = "Scenery\\World";
    world.files.resize(1);
    world.files[0].name = "WORLD";
    world.files[0].airports = {airportAt("KSFO", 37.62, -122.37), airportAt("KOAK", 37.72, -122.22)};
    LibraryDef library;
    library.areas = {world};
    f.writeScenery(library);

    // The folder as the user types it, without its trailing backslash.
    std::string folder = f.simFolder();
    folder.pop_back();
    ASSERT_TRUE(f.startKestrel({"--fs-dir", folder, "--build"}));
    int exitCode = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(kTimeoutMs, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 0) << f.kestrel.errorOutput();
    const std::string answer = std::string("Successfully imported 2 airport infos from scenery.") + kPlatformLineEnd;
    const std::string out = f.kestrel.output();
    ASSERT_GE(out.size(), answer.size());
    EXPECT_EQ(out.substr(out.size() - answer.size()), answer);
    EXPECT_EQ(out.find("FSUIPC"), std::string::npos);  // no simulator link

    const std::string started = runUntil("Successfully loaded 2 airport infos from database.\r\n");
    EXPECT_EQ(started.find("Successfully imported"), std::string::npos);
}

TEST_F(DatabaseStartup, WithoutAnyAirportTheStartEndsWithExitCodeOneAndKeepsTheDatabase) {
    writeFile(f.kestrelFile("kestrel.dat"), "previous");
    writeFile(f.kestrelFile("kestrel.dat.stamps"), "stamps");
    ASSERT_TRUE(f.startKestrel());
    int exitCode = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(kTimeoutMs, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 1);
    const std::string out = f.kestrel.output();
    const std::string end = "The scenery library holds no airport, so the database file " +
                            f.kestrelFile("kestrel.dat") +
                            " is left as it was.\r\nNo airports in database!\r\nAn error occurred while "
                            "initializing kestrel.\r\n";
    ASSERT_GE(out.size(), end.size()) << out;
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
    EXPECT_EQ(database() + readFile(f.kestrelFile("kestrel.dat.stamps")), "previousstamps");
    EXPECT_FALSE(std::filesystem::exists(f.kestrelFile("kestrel.dat.tmp")));
    EXPECT_FALSE(linkLeftBehind(f.kestrel.processId()));  // no atom, no shared-memory object
}

}  // namespace
