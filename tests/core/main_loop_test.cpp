#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "core/core_state.h"
#include "core/main_loop.h"
#include "core/progress.h"
#include "core/run.h"
#include "platform/platform.h"
#include "scenery_writer.h"
#include "simlink/base_dir.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// What the loop did, in order: 'P' poll, 's' sleep, 'p' place(changed 1), 'r' place(changed 0).
struct Recorder {
    std::string events;
    std::vector<uint32_t> sleeps;
    int pollResult = 1;
    size_t stopAfterSleeps = 0;
    Airport* searchResult = nullptr;
    Airport* currentAtPlace = nullptr;
};
Recorder rec;

int fakePoll() {
    rec.events += 'P';
    return rec.pollResult;
}
Airport* fakeSearch(int32_t factor, int32_t minCandidates) {
    EXPECT_EQ(factor, 2);
    EXPECT_EQ(minCandidates, core.config->towerMinCandidates);
    return rec.searchResult;
}
void fakePlace(int changed) {
    rec.events += changed ? 'p' : 'r';
    rec.currentAtPlace = core.currentAirport;
}
void fakeSleep(uint32_t ms) {
    rec.events += 's';
    rec.sleeps.push_back(ms);
    if (rec.sleeps.size() >= rec.stopAfterSleeps) core.stopRequested.set();
}

const MainLoopSteps kFakeSteps{fakePoll, fakeSearch, fakePlace, fakeSleep};

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        core = CoreState{};
        rec = Recorder{};
        LogCapture quiet(0);
        config.reset(configDefaults());
        core.config = config.get();
    }
    void TearDown() override { core = CoreState{}; }

    // Runs the loop until the stop is seen after sleep number `sleeps`, and returns the position of
    // every poll, counted in sleeps done before it.
    std::vector<size_t> pollPositions(uint32_t interval, size_t sleeps) {
        config->updateInterval = interval;
        core.stopRequested = StopFlag{};
        rec.stopAfterSleeps = sleeps;
        runMainLoop(kFakeSteps);
        std::vector<size_t> positions;
        size_t slept = 0;
        for (char e : rec.events) {
            if (e == 's') ++slept;
            if (e == 'P') positions.push_back(slept);
        }
        return positions;
    }

    std::unique_ptr<Config> config;
    Airport* airportA = reinterpret_cast<Airport*>(0x1000);
    Airport* airportB = reinterpret_cast<Airport*>(0x2000);
};

TEST_F(MainLoopTest, FirstPollAtOnceThenEveryCeilIntervalOverTenSleeps) {
    EXPECT_EQ(pollPositions(5000, 1001), (std::vector<size_t>{0, 500, 1000}));
    rec = Recorder{};
    EXPECT_EQ(pollPositions(25, 10), (std::vector<size_t>{0, 3, 6, 9}));
    rec = Recorder{};
    EXPECT_EQ(pollPositions(30, 7), (std::vector<size_t>{0, 3, 6}));
}

TEST_F(MainLoopTest, ShortIntervalsPollAfterEverySleep) {
    for (uint32_t interval : {0u, 1u, 10u}) {
        rec = Recorder{};
        EXPECT_EQ(pollPositions(interval, 3), (std::vector<size_t>{0, 1, 2})) << interval;
    }
}

TEST_F(MainLoopTest, EverySleepIsTenMillisecondsOrLess) {
    pollPositions(5000, 50);
    for (uint32_t ms : rec.sleeps)
        EXPECT_LE(ms, 10u);
}

TEST_F(MainLoopTest, FailedPollResetsTheCounter) {
    rec.pollResult = 0;
    EXPECT_EQ(pollPositions(40, 9), (std::vector<size_t>{0, 4, 8}));
    EXPECT_EQ(rec.events.find_first_of("pr"), std::string::npos);  // nothing placed
}

TEST_F(MainLoopTest, HugeIntervalStillPollsFirst) {
    EXPECT_EQ(pollPositions(0xFFFFFFFFu, 5), (std::vector<size_t>{0}));
}

TEST_F(MainLoopTest, PlacesOnlyOnChangeUnlessAlwaysSetTower) {
    rec.searchResult = airportA;
    pollPositions(10, 3);  // polls 3 times, always the same airport
    EXPECT_EQ(rec.events, "PpsPsPs");
    EXPECT_EQ(rec.currentAtPlace, airportA);  // the new airport is current before it is placed
    EXPECT_EQ(core.currentAirport, airportA);

    core = CoreState{};
    core.config = config.get();
    rec = Recorder{};
    rec.searchResult = airportA;
    config->alwaysSetTower = 1;
    pollPositions(10, 2);
    EXPECT_EQ(rec.events, "PpsPrs");
}

TEST_F(MainLoopTest, ChangeOfAirportPlacesAgain) {
    core.currentAirport = airportA;  // as the trace of a found airport leaves it
    rec.searchResult = airportA;
    config->updateInterval = 10;
    rec.stopAfterSleeps = 1;
    runMainLoop(kFakeSteps);
    EXPECT_EQ(rec.events, "Ps");  // same airport as before the loop: not placed

    rec = Recorder{};
    core.stopRequested = StopFlag{};
    rec.searchResult = airportB;
    rec.stopAfterSleeps = 1;
    runMainLoop(kFakeSteps);
    EXPECT_EQ(rec.events, "Pps");
    EXPECT_EQ(core.currentAirport, airportB);
}

TEST_F(MainLoopTest, NoAirportKeepsThePreviousOne) {
    core.currentAirport = airportA;
    rec.searchResult = nullptr;
    pollPositions(10, 2);
    EXPECT_EQ(rec.events, "PsPs");
    EXPECT_EQ(core.currentAirport, airportA);
}

TEST_F(MainLoopTest, ControlEventFromAnotherThreadEndsTheLoop) {
    MainLoopSteps steps{fakePoll, fakeSearch, fakePlace, platformSleep};
    rec.pollResult = 0;
    std::thread stopper([] {
        platformSleep(100);
        consoleCtrlHandler(kCtrlCEvent);
    });
    runMainLoop(steps);
    stopper.join();
    EXPECT_TRUE(core.stopRequested.isSet());
    EXPECT_EQ(rec.events, "P");
}

// A display that shows nothing and does not hold the build for its final 2.5 seconds.
const ProgressPlatform kSilentProgress{
    [] {},
    [] { return 1; },
    [](ProgressText, const char*) {},
    [](uint16_t) {},
    [](uint16_t) {},
    [] {},
    [] {},
    [] {},
    [] { return 0u; },
    [](uint32_t) {},
};

TEST_F(MainLoopTest, StopBeforeTheLoopEndsTheRunWithExitCodeZero) {
    TempDir dir;
    writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=4\r\n");
    // The run needs an airport before it reaches the loop: a library in the simulator folder.
    sceneryw::LibraryDef library;
    library.areas.resize(1);
    library.areas[0].local = "Scenery\\World";
    library.areas[0].files.resize(1);
    library.areas[0].files[0].name = "WORLD";
    library.areas[0].files[0].airports.resize(1);
    library.areas[0].files[0].airports[0].ident = "KSFO";
    std::string error;
    ASSERT_TRUE(sceneryw::writeSceneryLibrary(dir.path(), library, error)) << error;
    const std::string base = sceneryw::programPath(dir.path()) + "\\";
    ASSERT_LT(base.size(), sizeof basedir);
    std::strcpy(basedir, base.c_str());
    setProgressPlatform(&kSilentProgress);
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    core.stopRequested.set();
    LogCapture log(5);
    int exitCode = runApplication();
    std::filesystem::current_path(previous);
    setProgressPlatform(nullptr);
    basedir[0] = '\0';
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(core.candidates, nullptr);
    EXPECT_NE(log.text().find("Configuration dump:\r\n"), std::string::npos);
    EXPECT_NE(log.text().find("Main loop finished\r\n"), std::string::npos);
}

TEST_F(MainLoopTest, NoAirportEndsTheRunWithExitCodeOneBeforeTheLoop) {
    TempDir dir;  // a simulator folder without scenery.cfg: no layer, no airport
    const std::string base = sceneryw::programPath(dir.path()) + "\\";
    ASSERT_LT(base.size(), sizeof basedir);
    std::strcpy(basedir, base.c_str());
    setProgressPlatform(&kSilentProgress);
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    LogCapture log(4);
    int exitCode = runApplication();
    std::filesystem::current_path(previous);
    setProgressPlatform(nullptr);
    basedir[0] = '\0';
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(core.candidates, nullptr);
    EXPECT_NE(log.text().find("No airports in database!\r\n"), std::string::npos);
    EXPECT_EQ(log.text().find("Main loop finished"), std::string::npos);
}

}  // namespace
