// The options without the simulator on a small generated library: --build, --list and --at, the last
// compared with the main loop's own choice for the same positions.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/offline_request.h"
#include "platform/platform.h"
#include "scenery/import_fixtures.h"
#include "support/log_capture.h"
#include "tower/tower_search.h"

namespace {

using namespace sceneryw;

AirportDef airportAt(const char* ident, const char* name, double lat, double mhz) {
    AirportDef def;
    def.ident = ident;
    def.name = name;
    def.latitude = lat;
    def.longitude = -122.0;
    def.frequencies.push_back(Frequency{mhz, kComTower, ""});
    return def;
}

struct Outcome {
    int code = -1;
    std::string out, reason, log;
    OfflineRequest request;
    std::string args;  // as given, for the trace
    // The output and the reason with every run of blanks as one: column widths do not matter here.
    bool shows(const std::string& needle) const {
        std::string text;
        for (char c : out + reason)
            if (c != ' ' || text.empty() || text.back() != ' ') text += c;
        return text.find(needle) != std::string::npos;
    }
};

class OfflineTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=0\r\n");
        AreaDef area;
        area.local = "Scenery\\World";
        area.files.resize(1);
        area.files[0].name = "WORLD";
        AirportDef tower = airportAt("KAAA", "Alpha", 37.0, 118.7);
        tower.tower = TowerPosition{37.001, -122.001, 50.0};
        area.files[0].airports = {tower, airportAt("KBBB", "Bravo", 37.1, 119.1),
                                  airportAt("KCCC", "Charlie", 37.5, 120.0),
                                  airportAt("KDDD", "Far, Away \"Field\"", 38.0, 119.1)};
        LibraryDef library;
        library.areas = {area};
        std::string error;
        ASSERT_TRUE(writeSceneryLibrary(dir.path() / "FS9", library, error)) << error;
        library.areas[0].layer = 5;  // another scenery.cfg: kestrel.dat is stale there
        ASSERT_TRUE(writeSceneryLibrary(dir.path() / "FS9b", library, error)) << error;
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        ImportTest::TearDown();
    }

    Outcome run(std::vector<std::string> args) {
        releaseSpatialIndex();
        std::vector<char*> argv{const_cast<char*>("kestrel")};
        Outcome o;
        for (std::string& a : args) {
            argv.push_back(a.data());
            o.args += a + " ";
        }
        LogCapture log(0);
        o.code = parseOfflineRequest(static_cast<int>(argv.size()), argv.data(), o.request, o.reason);
        if (o.code == kOfflineDone) o.code = runOfflineRequest(o.request, o.out, o.reason);
        o.log = log.text();
        return o;
    }
    std::string fs9() const { return programPath("FS9"); }

    std::filesystem::path previous;
};

TEST_F(OfflineTest, BuildWritesTheDatabaseAStartWouldBuild) {
    std::filesystem::create_directories(dir.path() / "empty");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out, needle;  // the needle is looked for in the log and the reason
        bool shortOfMemory = false;
    } cases[] = {
        {{"--build"}, kOfflineUsage, "", "--build needs --fs-dir DIR"},
        {{"--fs-dir", "C:\\FS9\" --build"}, kOfflineUsage, "", "must not end in a backslash"},
        {{"--fs-dir", programPath("missing"), "--build"}, kOfflineFailed, "",
         "This directory cannot be accessed, so kestrel will not function.\r\n"
         "An error occurred while initializing kestrel.\r\n"},
        {{"--fs-dir", programPath("empty"), "--build"}, kOfflineFailed, "", "No airports in database!\r\n"},
        {{"--fs-dir", fs9(), "--build", "--database", programPath("none/kestrel.dat")}, kOfflineFailed, "",
         "kestrel.dat was not written"},
        {{"--fs-dir", fs9(), "--build"}, kOfflineFailed, "",
         "Memory ran out while the scenery was read, so the database is not stored; the next start reads it "
         "again.\r\n",
         true},
        {{"--fs-dir", fs9(), "--build"}, kOfflineDone,
         std::string("Successfully imported 4 airport infos from scenery.") + kPlatformLineEnd, ""},
    };
    for (const Case& c : cases) {
        static int blocks;  // a build's first block holds the stamps of the airport files
        blocks = 0;
        const PlatformBulkLimit refuseTheFirst = [](size_t) { return blocks++ > 0 ? 1 : 0; };
        platformSetBulkLimit(c.shortOfMemory ? refuseTheFirst : nullptr);
        Outcome o = run(c.args);
        platformSetBulkLimit(nullptr);
        SCOPED_TRACE(o.args);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.out, c.out);
        EXPECT_NE((o.log + o.reason).find(c.needle), std::string::npos) << o.log << o.reason;
    }
    EXPECT_EQ(run({"--list"}).code, kOfflineDone);
}

// A stop that comes during --build's last display, once kestrel.dat and its stamps are in place, comes
// after a finished build (a stop before: e2e BuildFaults).
TEST_F(OfflineTest, AStopOnceTheDatabaseIsInPlaceIsAFinishedBuild) {
    progressRecorder.stopAtClose = true;
    Outcome o = run({"--fs-dir", fs9(), "--build"});
    EXPECT_EQ(o.code, kOfflineDone) << o.reason;
    EXPECT_EQ(o.out, std::string("Successfully imported 4 airport infos from scenery.") + kPlatformLineEnd);
}

TEST_F(OfflineTest, ListShowsTheTowerPointOfEveryMatchingAirport) {
    ASSERT_EQ(run({"--fs-dir", fs9(), "--build"}).code, kOfflineDone);
    const std::string file = readFile(dir.path() / "kestrel.dat");
    writeFile(dir.path() / "long.dat", file + "x");
    writeFile(dir.path() / "newer.dat", std::string(3, '\0') + "\x03" + file.substr(4));
    const std::string header =
        std::string("ident,name,lat,lon,elev_m,tower_lat,tower_lon,tower_alt_m,tower_from,tower_com,runways") +
        kPlatformLineEnd;
    struct Case {
        std::vector<std::string> args;
        int code;
        size_t lines;
        std::string needle;  // in the output, or in the reason
    } cases[] = {
        {{"--list"}, kOfflineDone, 5, "KAAA Alpha 37.000000"},
        {{"--list", "k?b*", "--fs-dir", fs9()}, kOfflineDone, 2, "KBBB Bravo"},
        {{"--list", "*A", "--csv"}, kOfflineDone, 2,
         header + "KAAA,Alpha,37.000000,-122.000000,0.0,37.001000,-122.001000,50.0,\"tower, tower altitude\","
                  "118.700,0" + kPlatformLineEnd},
        {{"--csv", "--list", "KDDD"}, kOfflineDone, 2, "KDDD,\"Far, Away \"\"Field\"\"\",38.000000"},
        {{"--list", "KBBB", "--csv"}, kOfflineDone, 2, "30.0,\"airport, TowerHeight1Rw\",119.100,0"},
        {{"--list", "ZZZ"}, kOfflineFailed, 0, "no airport matches ZZZ"},
        {{"--list", "--fs-dir", programPath("FS9b")}, kOfflineFailed, 0, "is stale"},
        {{"--list", "--database", programPath("long.dat")}, kOfflineFailed, 0, "is damaged"},
        {{"--list", "--database", programPath("newer.dat")}, kOfflineFailed, 0, "from a newer version"},
        {{"--list", "--database", programPath("absent.dat")}, kOfflineFailed, 0, "cannot open"},
        {{"--list", "A", "B"}, kOfflineUsage, 0, "unexpected argument B"},
        {{"--at", "37", "-122", "--csv"}, kOfflineUsage, 0, "--csv goes with --list"},
    };
    for (const Case& c : cases) {
        Outcome o = run(c.args);
        SCOPED_TRACE(o.args);
        EXPECT_EQ(o.code, c.code) << o.reason;
        size_t lines = 0;
        for (size_t at = 0; (at = o.out.find(kPlatformLineEnd, at)) != std::string::npos; ++at)
            ++lines;
        EXPECT_EQ(lines, c.lines) << o.out;
        EXPECT_TRUE(o.shows(c.needle)) << o.out << o.reason;
    }
}

TEST_F(OfflineTest, WithTheFolderAFileWhoseAirportFilesChangedIsStale) {
    ASSERT_EQ(run({"--fs-dir", fs9(), "--build"}).code, kOfflineDone);
    ASSERT_EQ(run({"--list", "--fs-dir", fs9()}).code, kOfflineDone);
    const std::filesystem::path bgl = dir.path() / "FS9" / "Scenery" / "World" / "scenery" / "WORLD.bgl";
    std::filesystem::last_write_time(bgl, std::filesystem::last_write_time(bgl) + std::chrono::seconds(2));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--list", "--fs-dir", fs9()}, {"--at", "37", "-122", "--fs-dir", fs9()}}) {
        Outcome o = run(args);
        SCOPED_TRACE(o.args);
        EXPECT_EQ(o.code, kOfflineFailed);
        EXPECT_TRUE(o.shows("kestrel.dat is stale: the scenery file " + fs9() +
                            "\\Scenery\\World\\scenery\\WORLD.bgl has changed since it was built"))
            << o.reason;
    }
    EXPECT_EQ(run({"--list"}).code, kOfflineDone);  // without the folder nothing is compared
}

// The choice of the main loop's first poll at the position and frequency of `request`.
Airport* mainLoopChoice(const OfflineRequest& request) {
    static OfflineRequest at;
    static Airport* placed;
    at = request;
    placed = nullptr;
    MainLoopSteps steps{[] {
                            simState.clat = at.latitude;
                            simState.clon = at.longitude;
                            simState.radio = at.radio;
                            return 1;
                        },
                        towerSearch,
                        [](int) {
                            placed = core.currentAirport;
                            return 1;
                        },
                        [] { return 0; }, [] { return 0; }, [](const char*) {},
                        [](uint32_t) { core.stopRequested.set(); }, [] { return 0u; }};
    core.currentAirport = nullptr;
    core.placedAirport = nullptr;
    core.stopRequested = StopFlag{};
    runMainLoop(steps);
    return placed;
}

TEST_F(OfflineTest, AtChoosesTheTowerTheMainLoopChooses) {
    ASSERT_EQ(run({"--fs-dir", fs9(), "--build"}).code, kOfflineDone);
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string chosen, needle;
    } cases[] = {
        {{"--at", "37", "-122"}, kOfflineDone, "KAAA", "the nearest airport (0.0 nm): no frequency tuned"},
        {{"--at", "37", "-122", "119.105"}, kOfflineDone, "KBBB", "KBBB Bravo 6.0 119.100 yes"},
        {{"--at", "37.02", "-122", "120"}, kOfflineDone, "KCCC", "at 28.9 nm it is nearer than ComLockThreshold"},
        {{"--at", "37", "-122", "120"}, kOfflineDone, "KAAA", "KCCC Charlie 30.1 120.000 no, too far"},
        {{"--at", "-37", "-122"}, kOfflineDone, "KAAA", "Text: Tower @ KAAA (Alpha)"},
        {{"--at", "37", "x"}, kOfflineUsage, "", "bad longitude x"},
        {{"--at", "37", "-122", "117.9"}, kOfflineUsage, "", "bad frequency 117.9"},
        {{"--at", "37"}, kOfflineUsage, "", "--at takes a latitude"},
    };
    for (const Case& c : cases) {
        Outcome o = run(c.args);
        SCOPED_TRACE(o.args);
        EXPECT_EQ(o.code, c.code) << o.reason;
        EXPECT_TRUE(o.shows(c.needle)) << o.out << o.reason;
        if (c.code != kOfflineDone) continue;
        EXPECT_TRUE(o.shows("Chosen: " + c.chosen + " (")) << o.out;
        Airport* loop = mainLoopChoice(o.request);
        ASSERT_NE(loop, nullptr);
        EXPECT_EQ(airportText(loop).ident, c.chosen);
    }
}

TEST_F(OfflineTest, AtShowsTheChosenAirportBeyondTheTenNearest) {
    AreaDef area;
    area.local = "Scenery\\World";
    area.files.resize(1);
    area.files[0].name = "WORLD";
    for (int i = 0; i < 11; ++i) {
        AirportDef untowered;
        untowered.ident = "KN" + std::to_string(10 + i);
        untowered.name = "Near";
        untowered.latitude = 37.0 + 0.01 * i;
        untowered.longitude = -122.0;
        area.files[0].airports.push_back(untowered);
    }
    area.files[0].airports.push_back(airportAt("KFAR", "Far", 37.4, 120.0));
    LibraryDef library;
    library.areas = {area};
    std::string error;
    ASSERT_TRUE(writeSceneryLibrary(dir.path() / "FS9c", library, error)) << error;
    ASSERT_EQ(run({"--fs-dir", programPath("FS9c"), "--build"}).code, kOfflineDone);

    const Outcome o = run({"--at", "37", "-122", "120"});
    EXPECT_TRUE(o.shows("Chosen: KFAR (Far)")) << o.out;
    EXPECT_TRUE(o.shows("The 10 nearest of the 12 airports in the search box, and the chosen one:")) << o.out;
    EXPECT_TRUE(o.shows("KFAR Far 24.0 120.000 yes")) << o.out;
    EXPECT_FALSE(o.shows("KN20")) << o.out;  // the eleventh nearest stays out
}

}  // namespace
