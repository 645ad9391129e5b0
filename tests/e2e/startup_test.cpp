// The real kestrel program, started in a folder of its own next to the stand-in simulator, and stopped
// the way a user stops it.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"
#include "kestrel_version.h"
#include "platform/platform.h"
#include "support/test_paths.h"

namespace {

sceneryw::LibraryDef oneAirport() {
    sceneryw::AirportDef airport;
    airport.ident = "LSZH";
    airport.name = "Zurich";
    airport.latitude = 47.458;
    airport.longitude = 8.548;
    airport.elevationM = 432;
    sceneryw::AreaDef area;
    area.local = "Scenery\\Swiss";
    area.layer = 10;
    area.files.push_back(sceneryw::BglFileDef{});
    area.files.back().name = "AP_LSZH";
    area.files.back().airports.push_back(airport);
    sceneryw::LibraryDef library;
    library.areas.push_back(area);
    return library;
}

TEST(Startup, PrintsTheDumpAndStopsCleanlyOnAControlEvent) {
    FlightFixture f;
    f.writeScenery(oneAirport());
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n");
    ASSERT_TRUE(f.startSim());
    ASSERT_TRUE(f.startKestrel());
    ASSERT_TRUE(f.kestrel.waitForOutput("Successfully imported 1 airport infos from scenery.\r\n", 90000))
        << f.kestrel.output();
    std::string started = f.kestrel.output();
    EXPECT_EQ(started.find("Configuration dump:\r\nlogLevel=4\r\n"), 0u) << started;
    EXPECT_NE(started.find("updateInterval=100\r\n"), std::string::npos);
    EXPECT_NE(started.find("FSUIPC returns basedir: " + f.simFolder() + "\r\n"), std::string::npos)
        << started;
    // The handler is registered right after the database is ready; give the loop a moment to run.
    platformSleep(500);
    bool delivered = f.kestrel.requestStop();
    if (!delivered && runningUnderWine())
        GTEST_SKIP() << "Wine cannot route a console control event to another process; "
                        "e2e_wine_ctrl_c stops kestrel.exe with Ctrl+C instead";
    ASSERT_TRUE(delivered);
    int exitCode = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(30000, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 0);
    std::string out = f.kestrel.output();
    EXPECT_EQ(out.substr(out.size() - 20), "Main loop finished\r\n");
    EXPECT_EQ(out.find("\r\r\n"), std::string::npos);  // stdout carries the log's bytes unchanged
}

// Answers `lateMs` late from the second poll on, and a stop while the first of them is awaited.
void stopWithLateAnswers(const char* lateMs) {
    SCOPED_TRACE(lateMs);
    FlightFixture f;
    f.writeScenery(oneAirport());
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n");
    f.writeScenario("0,47.458,8.548,500,118.10,118.10,0x80,1,0,0\n");
    // Start-up, the first poll and its placement take 8 messages; the second poll meets the late answers.
    ASSERT_TRUE(f.startSim({"--late-after", "8", "--late-ms", lateMs, "--verbose"}));
    ASSERT_TRUE(f.startKestrel());
    auto late = [&] {
        std::string err = f.sim.errorOutput();
        int n = 0;
        for (size_t at = 0; (at = err.find("answering late", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    for (int waited = 0; late() == 0 && waited < 90000; waited += 10)
        platformSleep(10);
    ASSERT_GT(late(), 0) << f.kestrel.output();
    ASSERT_TRUE(f.kestrel.requestStop());
    int exitCode = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(60000, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(f.kestrel.output().ends_with("Main loop finished\r\n"));
    EXPECT_EQ(f.kestrel.output().find("failed"), std::string::npos);  // a stop is no link failure
    EXPECT_LE(late(), 2) << f.sim.errorOutput();  // the send under way at the stop, not all nine
}

TEST(Startup, AStopIsNotHeldUpByASimulatorThatAnswersLate) {
    if (runningUnderWine()) GTEST_SKIP() << "no control event between processes: e2e_wine_ctrl_c does this";
    // After the send timeout, and just within it: then every exchange of a poll is answered, and only
    // a stop check before each one keeps the stop within the seconds Windows allows a closing console.
    for (const char* lateMs : {"2500", "1900"})
        stopWithLateAnswers(lateMs);
}

const std::string kWaitLine =
    "kestrel waits for FS9 (or WideClient) to answer. Ctrl+C or closing this window stops it.\r\n";

// Started before the simulator answers (none at first; one whose interface serves version words of 0 for
// a while), kestrel says why once, waits, and places the tower once it answers. The settings come first.
TEST(Startup, AStartBeforeTheSimulatorAnswersWaitsForIt) {
    for (const char* zeroFor : {"", "10"}) {
        SCOPED_TRACE(zeroFor);
        FlightFixture f;
        f.writeScenery(oneAirport());
        f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\nUpdateInterval=100\r\n");
        f.writeScenario("0,47.458,8.548,500,118.10,118.10,0x80,1,0,0\n");
        if (*zeroFor) {
            ASSERT_TRUE(f.startSim({"--zero-versions-for", zeroFor}));
        }
        ASSERT_TRUE(f.startKestrel());
        const std::string waiting =
            std::string("Configuration dump:\r\n") + "FSUIPC connection failed: " +
            (*zeroFor ? "Maybe running on WideClient, but FS not running on Server, or "
                        "wrong FSUIPC\r\n"
                      : "Cannot link to FSUIPC or WideClient\r\n") +
            kWaitLine;
        ASSERT_TRUE(f.kestrel.waitForOutput(kWaitLine, 90000)) << f.kestrel.output();
        if (!*zeroFor) {
            platformSleep(3000);  // attempts that fail the same way say nothing more
            ASSERT_TRUE(f.startSim());
        }
        ASSERT_GE(f.waitForRecord({"\"towerLat\"", "\"zoom\""}, 120000), 0) << f.kestrel.output();
        const std::string out =
            std::regex_replace(f.kestrel.output(), std::regex("[a-zA-Z0-9]+=-?[0-9]+\r\n"), "");
        EXPECT_EQ(out.find(waiting + "FSUIPC returns basedir: "), 0u) << out;
    }
}

// An interface that does not know its simulator yet reports no folder: kestrel waits, and Ctrl+C ends the
// wait as a stop.
TEST(Startup, ACtrlCWhileItWaitsEndsTheStartAsAStop) {
    if (runningUnderWine()) GTEST_SKIP() << "no control event between processes: e2e_wine_ctrl_c does this";
    FlightFixture f;
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
    ASSERT_TRUE(f.startSim({"--fs-dir", ""}));
    ASSERT_TRUE(f.startKestrel());
    ASSERT_TRUE(
        f.kestrel.waitForOutput("Problem determining FS9 installation directory!\r\n" + kWaitLine, 60000))
        << f.kestrel.output();
    ASSERT_TRUE(f.kestrel.requestStop());
    int exitCode = -1;
    ASSERT_TRUE(f.kestrel.waitForExit(30000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(f.kestrel.output().ends_with(kWaitLine + "Main loop finished\r\n")) << f.kestrel.output();
}

// A start, a trace and a build beside a running kestrel are refused before they touch anything (its logs
// included), whatever their kestrel.ini says; the options that only read work; a killed kestrel does not
// block the next, which keeps its log as kestrel.prev.log.
TEST(Startup, OneKestrelAtATime) {
    FlightFixture f;
    f.writeScenery(oneAirport());
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
    ASSERT_TRUE(f.startSim());
    ASSERT_TRUE(f.startKestrel());
    ASSERT_TRUE(f.kestrel.waitForOutput(" airport infos from scenery.\r\n", 90000)) << f.kestrel.output();
    TempDir second;  // another kestrel's folder
    const std::string program = copiedProgram("kestrel", second.path());
    writeFile(second.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=-1\r\n");
    const std::string database = f.kestrelFile("kestrel.dat"), folder = f.simFolder();
    const std::string refused =
        "kestrel is already running (process " + std::to_string(f.kestrel.processId()) + ")\r\n";
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;  // refused: all of it, else how it begins
        bool inItsFolder = false;
    } cases[] = {
        {{}, 1, refused, true},
        {{}, 1, refused},
        {{"LSZH"}, 1, refused},
        {{"--fs-dir", folder.substr(0, folder.size() - 1), "--build"}, 1, refused},
        {{"--list", "--database", database}, 0, "ident  name"},
        {{"--at", "47.45", "8.55", "--database", database}, 0, "Aircraft: 47.450000, 8.550000"},
        {{"--version"}, 0, "kestrel "},
        {{"--help"}, 0, "Usage: kestrel [AIRPORT]"},
    };
    const std::string log = readFile(f.kestrelFile("kestrel.log"));
    for (const auto& c : cases) {
        ChildProcess kestrel;
        ASSERT_TRUE(kestrel.start(c.inItsFolder ? f.kestrelProgram() : program, c.arguments, f.workingFolder()));
        int code = -1;
        ASSERT_TRUE(kestrel.waitForExit(60000, code));
        EXPECT_EQ(code, c.exitCode) << &c - cases;
        const std::string out = kestrel.output();
        EXPECT_EQ(c.exitCode == 1 ? out : out.substr(0, c.output.size()), c.output) << &c - cases;
        // Its settings and the program; nothing in the working folder either.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(second.path()), {}), 2);
        EXPECT_EQ(f.workingFolderNames(), std::vector<std::string>{});
    }
    EXPECT_FALSE(std::filesystem::exists(f.kestrelFile("kestrel.prev.log")));
    EXPECT_EQ(readFile(f.kestrelFile("kestrel.log")).substr(0, log.size()), log);
    f.kestrel.kill();
    ASSERT_TRUE(f.startKestrel());
    EXPECT_TRUE(f.kestrel.waitForOutput("Successfully loaded 1 airport infos from database.\r\n", 90000))
        << f.kestrel.output();
    EXPECT_NE(readFile(f.kestrelFile("kestrel.prev.log")).find(" Successfully imported 1 airport infos"),
              std::string::npos);
}

TEST(Startup, OptionsAnswerAndExit) {
    TempDir dir;
    struct Case {
        const char* option;
        int exitCode;
        const char* stdoutText;
        const char* stderrText;
    } cases[] = {{"--version", 0, "kestrel " KESTREL_VERSION "\r\n", ""},
                 {"--help", 0, "Usage: kestrel [AIRPORT]", ""},
                 {"--bogus", 2, "", "kestrel: unknown option --bogus (kestrel --help lists the options)"}};
    for (const Case& c : cases) {
        ChildProcess kestrel;
        ASSERT_TRUE(kestrel.start(builtProgram("kestrel"), {c.option}, dir.path().string()));
        int exitCode = -1;
        ASSERT_TRUE(kestrel.waitForExit(30000, exitCode)) << c.option;
        EXPECT_EQ(exitCode, c.exitCode) << c.option;
        EXPECT_EQ(kestrel.output().find(c.stdoutText), 0u) << c.option << ": " << kestrel.output();
        EXPECT_NE(kestrel.errorOutput().find(c.stderrText), std::string::npos) << c.option;
        EXPECT_EQ((kestrel.output() + kestrel.errorOutput()).find("\r\r\n"), std::string::npos) << c.option;
        if (c.stdoutText[0] == '\0') {
            EXPECT_EQ(kestrel.output(), "");
        }
    }
}

}  // namespace
