// The progress operations over a substitute display and clock: what reaches the display, when, and in
// which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/progress.h"
#include "support/log_capture.h"

namespace {

struct FakeDisplay {
    std::vector<std::string> events;
    uint32_t now = 1000;
    int readyAfterChecks = 0;  // the display becomes ready at this check (0: at once; -1: never)
    int readyChecks = 0;
    std::string texts[3] = {"headline", "Files scanned: 0", "Airports found: 0"};
    uint32_t oversleep = 0;   // a sleep lasts this much longer than asked (Windows rounds up to a tick)
    int stopAfterSleeps = 0;  // the user asks to stop after this many sleeps (0: never)
    int sleeps = 0;
};
FakeDisplay fake;

const ProgressPlatform kFake{
    [] { fake.events.push_back("open"); },
    [] {
        int check = fake.readyChecks++;
        return fake.readyAfterChecks >= 0 && check >= fake.readyAfterChecks ? 1 : 0;
    },
    [](ProgressText which, const char* text) {
        fake.texts[which] = text;
        fake.events.push_back("text" + std::to_string(which) + " " + text);
    },
    [](uint16_t maximum) { fake.events.push_back("range " + std::to_string(maximum)); },
    [](uint16_t step) { fake.events.push_back("stepsize " + std::to_string(step)); },
    [] { fake.events.push_back("step"); },
    [] { fake.events.push_back("close"); },
    [] { return fake.now; },
    [](uint32_t ms) {
        fake.events.push_back("sleep " + std::to_string(ms));
        fake.now += ms + fake.oversleep;
        ++fake.sleeps;
    },
    [] { return fake.stopAfterSleeps && fake.sleeps >= fake.stopAfterSleeps ? 1 : 0; },
};

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake = FakeDisplay{};
        progressState = ProgressState{};
        setProgressPlatform(&kFake);
    }
    void TearDown() override { setProgressPlatform(nullptr); }

    // Opens and starts the display with `layers`, then forgets what that showed.
    void started(uint32_t layers) {
        progressOpen();
        progressStart(layers);
        fake.events.clear();
    }

    size_t count(const std::string& event) const {
        size_t n = 0;
        for (const std::string& e : fake.events)
            if (e == event) ++n;
        return n;
    }
};

TEST_F(ProgressTest, StartWaitsForTheDisplayInFiftyMillisecondPauses) {
    fake.readyAfterChecks = 3;
    progressOpen();
    progressStart(2);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"open", "sleep 50", "sleep 50", "sleep 50", "range 2",
                                                     "stepsize 1"}));
    EXPECT_EQ(progressState.startTime, 1150u);  // the wait is not part of the build time
}

TEST_F(ProgressTest, StartGivesUpAfterFiveSecondsAndTheBuildGoesOn) {
    fake.readyAfterChecks = -1;
    progressOpen();
    progressStart(2);
    EXPECT_EQ(count("sleep 50"), 100u);
    EXPECT_EQ(fake.readyChecks, 100);
    EXPECT_EQ(fake.now, 6000u);
    EXPECT_EQ(fake.events.back(), "stepsize 1");

    progressAddFiles(1);
    progressLayerDone();
    progressFinish();
    EXPECT_EQ(fake.events.back(), "close");
}

TEST_F(ProgressTest, UpdatesWithinTenMillisecondsChangeCountersButNotLabels) {
    started(4);
    fake.now = 2000;
    progressAddFiles(1);  // first refresh
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 1 (0/4 scenery layers)");
    EXPECT_EQ(fake.texts[kProgressAirportCount], "Airports found: 0");

    fake.now = 2009;
    progressAddFiles(2);
    progressAddAirports(5);
    EXPECT_EQ(progressState.filesScanned, 3u);
    EXPECT_EQ(progressState.airportsFound, 5u);
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 1 (0/4 scenery layers)");
    EXPECT_EQ(fake.texts[kProgressAirportCount], "Airports found: 0");

    fake.now = 2010;  // exactly 10 ms after the last refresh
    progressAddAirports(1);
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 3 (0/4 scenery layers)");
    EXPECT_EQ(fake.texts[kProgressAirportCount], "Airports found: 6");
    EXPECT_EQ(progressState.lastRefresh, 2010u);
    // Each refresh sets the file count, then the airport count.
    EXPECT_EQ(fake.events, (std::vector<std::string>{
                               "text1 Files scanned: 1 (0/4 scenery layers)", "text2 Airports found: 0",
                               "text1 Files scanned: 3 (0/4 scenery layers)", "text2 Airports found: 6"}));
}

TEST_F(ProgressTest, RefreshKeepsWorkingWhenTheTickCountWraps) {
    started(1);
    fake.now = 0xFFFFFFF0u;
    progressAddFiles(1);
    EXPECT_EQ(progressState.lastRefresh, 0xFFFFFFF0u);
    fake.now = 0xFFFFFFF8u;  // 8 ms later
    progressAddFiles(1);
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 1 (0/1 scenery layers)");
    fake.now = 5;  // 21 ms later, across the wrap
    progressAddFiles(1);
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 3 (0/1 scenery layers)");
}

TEST_F(ProgressTest, EachLayerIsOneBarStepAndShowsInTheNextRefresh) {
    started(3);
    fake.now = 3000;
    progressLayerDone();
    progressLayerDone();
    EXPECT_EQ(fake.events, (std::vector<std::string>{"step", "step"}));  // the labels wait for a count
    progressAddFiles(7);
    EXPECT_EQ(fake.texts[kProgressFileCount], "Files scanned: 7 (2/3 scenery layers)");
}

TEST_F(ProgressTest, FinishShowsExactTotalsAndTimeThenWaitsAndCloses) {
    fake.now = 100000;
    started(2);
    fake.now = 100020;
    progressAddFiles(1);
    progressAddAirports(1);
    progressLayerDone();
    fake.now = 100025;  // within 10 ms of the last refresh: only the final one shows these
    progressAddFiles(4);
    progressAddAirports(9);
    progressLayerDone();
    fake.events.clear();

    fake.now = 101234;
    progressFinish();
    fake.events.resize(3);  // then the final display's pauses and the close
    EXPECT_EQ(fake.events, (std::vector<std::string>{"text1 Files scanned: 5 (2/2 scenery layers)",
                                                     "text2 Airports found: 10",
                                                     "text0 Airport Database created in 1234 ms"}));
    EXPECT_EQ(progressState.startTime, 1234u);  // now the elapsed time
}

TEST_F(ProgressTest, ZeroLayersGiveAnEmptyRangeNoStepAndTheFinalTexts) {
    progressOpen();
    progressStart(0);
    fake.now += 7;
    progressFinish();
    fake.events.resize(6);
    EXPECT_EQ(fake.events, (std::vector<std::string>{
                               "open", "range 0", "stepsize 1", "text1 Files scanned: 0 (0/0 scenery layers)",
                               "text2 Airports found: 0", "text0 Airport Database created in 7 ms"}));
}

TEST_F(ProgressTest, WaitsEndWithinAPauseOfAStopAndByTheClock) {
    const struct {
        const char* what;
        int readyAfterChecks, stopAfterSleeps;
        size_t sleeps;                 // of 50 ms, waiting for the display and in the final display
        uint32_t oversleep, finishMs;  // each pause longer by; the final display on the clock
    } cases[] = {
        {"no stop: the full final display", 0, 0, 50, 0, 2500},
        {"pauses longer than asked: the clock ends it", 0, 0, 41, 12, 2542},
        {"stop while waiting for the display", -1, 3, 3, 0, 0},
        {"stop during the final display", 0, 10, 10, 0, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake = FakeDisplay{};
        fake.readyAfterChecks = c.readyAfterChecks;
        fake.stopAfterSleeps = c.stopAfterSleeps;
        fake.oversleep = c.oversleep;
        progressOpen();
        progressStart(1);
        const uint32_t before = fake.now;
        progressFinish();
        EXPECT_EQ(count("sleep 50"), c.sleeps);
        EXPECT_EQ(fake.now - before, c.finishMs);
        EXPECT_EQ(fake.events.back(), "close");
    }
}

TEST_F(ProgressTest, OpenStartsFromZeroAndNothingIsLogged) {
    LogCapture log(5);
    progressState.filesScanned = 40;
    progressState.lastRefresh = 999;
    progressOpen();
    EXPECT_EQ(progressState.filesScanned, 0u);
    EXPECT_EQ(progressState.lastRefresh, 0u);
    progressStart(1);
    progressAddFiles(1);
    progressAddAirports(1);
    progressLayerDone();
    progressFinish();
    EXPECT_EQ(log.text(), "");
}

}  // namespace
