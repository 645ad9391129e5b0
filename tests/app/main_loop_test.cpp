#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "airportdb/airport.h"
#include "app/main_loop.h"
#include "app/run.h"
#include "core/config.h"
#include "core/core_state.h"
#include "kestrel_version.h"
#include "platform/platform.h"
#include "support/log_capture.h"
#include "tower/tower_placement.h"

namespace {

// What the loop did, in order: 'P' poll, 's' sleep, 'p' a changed tower placed, 'r' the same again,
// 'z' the tower put back after the simulator may have lost the view.
struct Recorder {
    std::string events;
    std::vector<uint32_t> sleeps;
    int pollResult = 1;
    size_t stopAfterSleeps = 0;
    uint32_t clock = 0, clockPerSleep = 0;  // the clock the loop reads, and what a sleep adds to it
    bool stopInPoll = false;
    Airport* searchResult = nullptr;
    Airport* currentAtPlace = nullptr;
    std::vector<int> placeResults;  // one per placement, in order; 1 once used up
    std::vector<int> viewLost;      // what viewLost says, one per call; 0 once used up
    int linkLost = 0;
    std::vector<std::string> titles;
    std::vector<std::tuple<int, Airport*, int, int>> cycles;  // per poll: fresh, chosen, placed, link lost
};
Recorder rec;

int next(std::vector<int>& script, int otherwise) {
    if (script.empty()) return otherwise;
    int value = script.front();
    script.erase(script.begin());
    return value;
}

int fakePoll() {
    rec.events += 'P';
    if (rec.stopInPoll) core.stopRequested.set();
    if (!rec.cycles.empty()) {
        rec.placeResults = {0};
        std::tie(rec.pollResult, rec.searchResult, rec.placeResults[0], rec.linkLost) = rec.cycles.front();
        rec.cycles.erase(rec.cycles.begin());
    }
    return rec.pollResult;
}
Airport* fakeSearch(int32_t factor, int32_t minCandidates) {
    EXPECT_EQ(factor, 2);
    EXPECT_EQ(minCandidates, core.config->towerMinCandidates);
    return rec.searchResult;
}
int fakePlace(int placement) {
    rec.events += placement == kPlaceChanged ? 'p' : placement == kPlaceRestore ? 'z' : 'r';
    rec.currentAtPlace = core.currentAirport;
    return next(rec.placeResults, 1);
}
int fakeViewLost() {
    return next(rec.viewLost, 0);
}
void fakeSleep(uint32_t ms) {
    rec.events += 's';
    rec.sleeps.push_back(ms);
    rec.clock += rec.clockPerSleep;
    if (rec.sleeps.size() >= rec.stopAfterSleeps) core.stopRequested.set();
}

const auto fakeLinkLost = [] { return rec.linkLost; };
const auto fakeSetTitle = [](const char* title) { rec.titles.push_back(title); };

const auto fakeTicks = [] { return rec.clock; };

const MainLoopSteps kFakeSteps{fakePoll,     fakeSearch,   fakePlace, fakeViewLost,
                               fakeLinkLost, fakeSetTitle, fakeSleep, fakeTicks};

Airport airportNamed(const char* ident) {
    Airport a{};
    std::memcpy(a.ident, ident, std::strlen(ident));
    return a;
}
Airport recordA = airportNamed("AAAA"), recordB = airportNamed("BBBB");

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

    // Polls once per sleep, always finding airport A, with the placements' and the lost-view checks'
    // results scripted; returns what the loop did.
    std::string placements(int alwaysSetTower, std::vector<int> placeResults, std::vector<int> viewLost,
                           size_t polls) {
        rec = Recorder{};
        rec.searchResult = airportA;
        rec.placeResults = placeResults;
        rec.viewLost = viewLost;
        config->alwaysSetTower = alwaysSetTower;
        core.placedAirport = nullptr;
        pollPositions(10, polls);
        return rec.events;
    }

    std::unique_ptr<Config> config;
    Airport* airportA = &recordA;
    Airport* airportB = &recordB;
};

TEST_F(MainLoopTest, FirstPollAtOnceThenEveryCeilIntervalOverTenSleeps) {
    EXPECT_EQ(pollPositions(5000, 1001), (std::vector<size_t>{0, 500, 1000}));
    rec = Recorder{};
    EXPECT_EQ(pollPositions(25, 10), (std::vector<size_t>{0, 3, 6, 9}));
    rec = Recorder{};
    EXPECT_EQ(pollPositions(30, 7), (std::vector<size_t>{0, 3, 6}));
}

// Windows' 10 ms sleep lasts its 15.6 ms tick; a clock from near its wrap counts across it.
TEST_F(MainLoopTest, SleepsThatLastLongerPollByTheClock) {
    for (uint32_t start : {0u, 0xFFFFF000u}) {
        rec = Recorder{};
        rec.clock = start;
        rec.clockPerSleep = 16;
        EXPECT_EQ(pollPositions(5000, 627), (std::vector<size_t>{0, 313, 626})) << start;
    }
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

TEST_F(MainLoopTest, AFailedTowerWriteIsPlacedAgainAsNewAtEverySuccessfulPoll) {
    EXPECT_EQ(placements(0, {0, 0, 1}, {}, 4), "PpsPpsPpsPs");
    EXPECT_EQ(placements(1, {0, 1}, {}, 3), "PpsPpsPrs");
}

TEST_F(MainLoopTest, AfterTheViewWasLostThePlacedTowerIsPutBack) {
    EXPECT_EQ(placements(0, {}, {0, 1, 0}, 3), "PpsPzsPs");
    EXPECT_EQ(placements(1, {}, {0, 1, 0}, 3), "PpsPzsPrs");
    EXPECT_EQ(placements(0, {1, 0}, {0, 1, 1}, 3), "PpsPzsPzs");  // a failed put-back: the next loss asks
    EXPECT_EQ(placements(0, {}, {1}, 2), "PpsPs");                // a new tower gets its zoom anyway
}

TEST_F(MainLoopTest, ChangeOfAirportPlacesAgain) {
    core.currentAirport = airportA;  // as the trace of a found airport leaves it: no placement
    rec.searchResult = airportA;
    config->updateInterval = 10;
    rec.stopAfterSleeps = 1;
    runMainLoop(kFakeSteps);
    EXPECT_EQ(rec.events, "Pps");

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
    MainLoopSteps steps = kFakeSteps;
    steps.sleep = platformSleep;
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

TEST_F(MainLoopTest, AStopDuringThePollEndsTheLoopBeforeThePlacement) {
    rec.searchResult = airportA;
    rec.stopInPoll = true;
    pollPositions(10, 5);
    EXPECT_EQ(rec.events, "P");  // no search, no placement, no sleep
}

TEST_F(MainLoopTest, TheTitleNamesTheTowerLastPlacedAndTheWaitOnlyWhenItChanges) {
    Airport hostile = airportNamed("C\x1B\x07\xC3");
    rec.cycles = {
        {0, nullptr, 1, 1},   // the simulator away from the start
        {1, airportA, 1, 0},  // placed
        {1, airportA, 1, 0},  // the same title is not set again
        {0, nullptr, 1, 1},   // the link lost
        {1, airportB, 0, 1},  // not placed: the title keeps the tower last placed
        {1, &hostile, 1, 0},  // a control character must not end a terminal's title sequence
    };
    pollPositions(10, rec.cycles.size());
    const std::string title = "kestrel " KESTREL_VERSION;
    EXPECT_EQ(rec.titles,
              (std::vector<std::string>{title + " - waiting for the simulator", title + " - AAAA",
                                        title + " - AAAA - waiting for the simulator", title + " - C???"}));
}

}  // namespace
