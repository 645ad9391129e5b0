// The real kestrel killed while it builds a database of real size, and started on a damaged file: the
// next start loads a database equal to an uninterrupted build's or builds it again, never a partial one,
// and a completed build leaves no file but kestrel.dat and its stamps.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "support/many_airports.h"
#include "support/test_paths.h"

namespace {

constexpr int kTimeoutMs = 120000;
constexpr size_t kAirports = 5000;
const std::string kLoaded = "Successfully loaded 5000 airport infos from database.\r\n";
const std::string kImported = "Successfully imported 5000 airport infos from scenery.\r\n";
const std::set<std::string> kStored{"kestrel.dat", "kestrel.dat.stamps"};  // what a stored build leaves

class BuildFaults : public ::testing::Test {
protected:
    void SetUp() override {
        f.writeScenery(manyAirports(kAirports));
        f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
        ASSERT_TRUE(f.startSim());
    }

    // The arguments of a build without the simulator, for the library of the simulator folder.
    std::vector<std::string> buildArguments() const {
        std::string folder = f.simFolder();
        folder.pop_back();
        return {"--fs-dir", folder, "--build"};
    }

    // Starts kestrel as a user does, until it has its airports; returns its output.
    std::string start() {
        EXPECT_TRUE(f.startKestrel());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
        std::string out;
        int code = 0;
        while ((out = f.kestrel.output()).find(" airport infos from ") == std::string::npos) {
            if (f.kestrel.waitForExit(0, code) || std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        f.stopKestrel();
        return f.kestrel.output();
    }

    // The names beside the program besides itself, its settings and its logs; nothing is in the folder
    // it was started from.
    std::set<std::string> leftovers() const {
        EXPECT_EQ(f.workingFolderNames(), std::vector<std::string>{});
        static const std::set<std::string> kept{"kestrel.ini", "kestrel.log", "kestrel.prev.log"};
        const std::string program = std::filesystem::path(f.kestrelProgram()).filename().string();
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(f.kestrelFile("")))
            if (!kept.count(entry.path().filename().string()) && entry.path().filename() != program)
                names.insert(entry.path().filename().string());
        return names;
    }

    std::string database() const { return readFile(f.kestrelFile("kestrel.dat")); }

    FlightFixture f;
};

#ifndef _WIN32
TEST_F(BuildFaults, KilledBuildsNeverLeaveAPartialDatabase) {
    // The reference: one uninterrupted build, and how long it takes to put its file in place.
    ChildProcess builder;
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(builder.start(f.kestrelProgram(), buildArguments(), f.workingFolder()));
    while (!std::filesystem::exists(f.kestrelFile("kestrel.dat")) &&
           std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(kTimeoutMs))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const auto written = std::chrono::steady_clock::now() - begin;
    int code = -1;
    ASSERT_TRUE(builder.waitForExit(kTimeoutMs, code));
    ASSERT_EQ(code, 0) << builder.output() << builder.errorOutput();
    const std::string reference = database();
    ASSERT_EQ(reference.size(), 4u + 16u * 4u + 88u * kAirports);
    EXPECT_EQ(leftovers(), kStored);

    // Kill moments up to a quarter longer than the write took: a fifth of them after the file is in
    // place, while the build's final display is still up.
    const uint64_t windowUs =
        std::chrono::duration_cast<std::chrono::microseconds>(written).count() * 5 / 4 + 1;
    const char* given = std::getenv("KESTREL_CRASH_SEED");
    const uint32_t seed =
        given ? static_cast<uint32_t>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::printf("crash seed %u (KESTREL_CRASH_SEED), kill window %llu us\n", seed,
                static_cast<unsigned long long>(windowUs));
    std::mt19937 random(seed);

    int kills = 0, temporaryLeft = 0, loads = 0, rebuilds = 0, wrongLoads = 0, leftBehind = 0;
    for (int round = 0; round < 100; ++round) {
        // Now and then there is nothing to fall back on, as at the first start.
        if (random() % 10 == 0) std::filesystem::remove(f.kestrelFile("kestrel.dat"));
        const uint64_t at = random() % windowUs;
        ASSERT_TRUE(builder.start(f.kestrelProgram(), buildArguments(), f.workingFolder()));
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        builder.kill();
        ++kills;
        temporaryLeft += std::filesystem::exists(f.kestrelFile("kestrel.dat.tmp")) ? 1 : 0;

        const std::string before = std::filesystem::exists(f.kestrelFile("kestrel.dat")) ? database() : "";
        const std::string out = start();
        const std::string context = "round " + std::to_string(round) + ", killed at " + std::to_string(at) +
                                    " us, seed " + std::to_string(seed) + "\n" + out;
        if (out.find(kLoaded) != std::string::npos) {
            ++loads;
            if (before != reference) ++wrongLoads;
            EXPECT_EQ(before, reference) << context;
        } else {
            ASSERT_NE(out.find(kImported), std::string::npos) << context;
            ++rebuilds;
            if (leftovers() != kStored || database() != reference) ++leftBehind;
            EXPECT_EQ(leftovers(), kStored) << context;
            EXPECT_EQ(database(), reference) << context;
        }
    }
    std::printf(
        "%d kills (%d left kestrel.dat.tmp): %d loads of a correct database, %d rebuilds, %d wrong "
        "loads, %d builds that left another file or a different kestrel.dat\n",
        kills, temporaryLeft, loads, rebuilds, wrongLoads, leftBehind);
    EXPECT_EQ(wrongLoads, 0);
    EXPECT_EQ(leftBehind, 0);
}

// Ctrl+C while a start or --build builds: the build ends within moments, as a stop, the previous files stay
// and no temporary file is left. A start ends with exit code 0; --build with 1 and says so.
TEST_F(BuildFaults, CtrlCDuringTheBuildEndsItInOrderAndKeepsTheDatabase) {
    for (const bool offline : {false, true}) {
        SCOPED_TRACE(offline);
        writeFile(f.kestrelFile("kestrel.dat"), "previous");  // no longer loads: the start builds
        writeFile(f.kestrelFile("kestrel.dat.stamps"), "stamps");
        f.writeSettings("[KestrelConfig]\r\nLogLevel=5\r\n");  // a build that takes seconds
        ASSERT_TRUE(offline ? f.kestrel.start(f.kestrelProgram(), buildArguments(), f.workingFolder())
                            : f.startKestrel());
        ASSERT_TRUE(f.kestrel.waitForOutput(" is of type ", kTimeoutMs)) << f.kestrel.output();  // a record
        const auto asked = std::chrono::steady_clock::now();
        ASSERT_TRUE(f.kestrel.requestStop());
        int code = -1;
        ASSERT_TRUE(f.kestrel.waitForExit(kTimeoutMs, code));
        // Within a second on a quiet machine; sanitizers and a busy one take longer.
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(3));
        const std::string out = f.kestrel.output();
        EXPECT_EQ(code, offline ? 1 : 0);
        EXPECT_EQ(out.find(kImported), std::string::npos);
        EXPECT_EQ(out.find("An error occurred"), std::string::npos);
        EXPECT_EQ(
            offline ? f.kestrel.errorOutput() : out.substr(out.size() - 20),
            offline ? "kestrel: the build was stopped; " + f.kestrelFile("kestrel.dat") + " was left as it was\n"
                    : "Main loop finished\r\n");
        EXPECT_EQ(database() + readFile(f.kestrelFile("kestrel.dat.stamps")), "previousstamps");
        EXPECT_EQ(leftovers(), kStored);  // no temporary file
    }
}
#endif

TEST_F(BuildFaults, StartRebuildsATruncatedDatabase) {
    ChildProcess builder;
    ASSERT_TRUE(builder.start(f.kestrelProgram(), buildArguments(), f.workingFolder()));
    int code = -1;
    ASSERT_TRUE(builder.waitForExit(kTimeoutMs, code));
    ASSERT_EQ(code, 0) << builder.output() << builder.errorOutput();
    const std::string reference = database();

    writeFile(f.kestrelFile("kestrel.dat"), reference.substr(0, reference.size() / 2));
    const std::string out = start();
    EXPECT_NE(out.find(" is " + std::to_string(reference.size() / 2) +
                       " bytes long, but 5000 airports and 3 scenery layers take " +
                       std::to_string(reference.size()) + " bytes. It has to be rebuilt.\r\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(kImported), std::string::npos) << out;
    EXPECT_EQ(database(), reference);
    EXPECT_EQ(leftovers(), kStored);
}

}  // namespace
