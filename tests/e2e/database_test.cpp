// The real kestrel program builds its airport database from a scenery library, caches it in
// kestrel.dat, loads it on the next start, and ends with exit code 1 when there is no airport.
//
// Until the simulator link tells the program the simulator folder, the scenery is looked for relative
// to the working folder, so these runs start kestrel in a generated simulator folder. Under Wine that
// does not reach the scenery: a scenery.cfg named without a folder is read from the Windows folder
// there (the private-profile rule), so the Windows build's build and load are covered by the
// library-level tests (database_test) instead.
#include <gtest/gtest.h>

#include <string>

#include "scenery_writer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

using namespace sceneryw;

constexpr int kTimeoutMs = 60000;

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
        if (runningUnderWine())
            GTEST_SKIP() << "without the simulator folder, kestrel.exe reads scenery.cfg from the Windows "
                            "folder; database_test covers the build and load under Wine";
        writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=4\r\n");
    }

    // Runs kestrel in the folder until `needle` is printed, then ends it; returns the output.
    std::string runUntil(const std::string& needle, const std::vector<std::string>& arguments = {}) {
        ChildProcess kestrel;
        EXPECT_TRUE(kestrel.start(builtProgram("kestrel"), arguments, dir.path().string()));
        EXPECT_TRUE(kestrel.waitForOutput(needle, kTimeoutMs)) << kestrel.output();
        kestrel.kill();
        return kestrel.output();
    }

    std::string database() const { return readFile(dir.path() / "kestrel.dat"); }

    TempDir dir;
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
    std::string error;
    ASSERT_TRUE(writeSceneryLibrary(dir.path(), library, error)) << error;

    std::string out = runUntil("Successfully imported 3 airport infos from scenery.\r\n");
    EXPECT_NE(out.find("Found an existing entry for KSFO\r\n"), std::string::npos);
    const std::string built = database();
    EXPECT_EQ(built.size(), 4u + 16u * 3u + 88u * 3u);
    EXPECT_EQ(built.substr(0, 4), std::string("\x03\x00\x00\x02", 4));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrel.dat.tmp"));

    out = runUntil("Successfully loaded 3 airport infos from database.\r\n");
    EXPECT_EQ(out.find("Successfully imported"), std::string::npos);

    // A traced airport is built from the scenery and leaves the file alone.
    out = runUntil("Successfully imported 3 airport infos from scenery.\r\n", {"kSfO"});
    EXPECT_EQ(out.find("Debugging airport: kSfO\r\n"), 0u);
    EXPECT_NE(out.find("\r\nFINAL RESULT FOR KSFO (KSFO airport)\r\n"), std::string::npos);
    EXPECT_EQ(database(), built);
}

TEST_F(DatabaseStartup, WithoutAnyAirportTheStartEndsWithExitCodeOne) {
    ChildProcess kestrel;
    ASSERT_TRUE(kestrel.start(builtProgram("kestrel"), {}, dir.path().string()));
    int exitCode = -1;
    ASSERT_TRUE(kestrel.waitForExit(kTimeoutMs, exitCode)) << kestrel.output();
    EXPECT_EQ(exitCode, 1);
    const std::string out = kestrel.output();
    EXPECT_EQ(out.substr(out.size() - 26), "No airports in database!\r\n");
    // The file of an empty build announces no records and is never loaded.
    EXPECT_EQ(database(), std::string("\x00\x00\x00\x02", 4) + std::string(16, '\0'));
}

}  // namespace
