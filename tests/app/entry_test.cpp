#include <gtest/gtest.h>

#include <string>

#include "app/console_end.h"
#include "app/entry.h"
#include "app/run.h"
#include "core/core_state.h"
#include "core/log.h"
#include "kestrel_version.h"
#include "platform/platform.h"
#include "support/log_capture.h"

namespace {

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override { core = CoreState{}; }
    void TearDown() override { core = CoreState{}; }
};

TEST_F(EntryTest, OnlyAnAirportIdentifierStartsATrace) {
    for (const std::string argument : {"LSZH", "k1", "ABCDE", "ABCDEF", "/x", "C:\\x.bgl", "LS ZH", ""}) {
        core = CoreState{};
        const bool airport = argument == "LSZH" || argument == "k1" || argument == "ABCDE";
        std::string program = "kestrel", given = argument;
        char* argv[] = {program.data(), given.data(), nullptr};
        LogCapture log(0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(handleOptions(2, argv), airport ? -1 : 2) << argument;
        const std::string refusal = testing::internal::GetCapturedStderr();
        takeDebugAirport(2, argv);
        EXPECT_EQ(core.debugAirport, airport ? argument : "") << argument;
        EXPECT_EQ(log.text(), airport ? "Debugging airport: " + argument + "\r\n" : "");
        EXPECT_EQ(refusal, airport ? ""
                                   : "kestrel: \"" + argument +
                                         "\" is not an airport identifier to trace (1 to 5 "
                                         "letters and digits) (kestrel --help lists the options)" +
                                         kPlatformLineEnd);
    }
}

TEST_F(EntryTest, NoArgumentMeansNoTrace) {
    LogCapture log(0);
    char program[] = "kestrel";
    char* argv[] = {program, nullptr};
    takeDebugAirport(1, argv);
    EXPECT_EQ(isDebugAirportSet(), 0);
    EXPECT_EQ(isDebugAirport(""), 0);
    EXPECT_EQ(isDebugAirport("LSZH"), 0);
    EXPECT_EQ(log.text(), "");
}

TEST_F(EntryTest, DebugAirportComparesIgnoringCase) {
    LogCapture log(0);
    char program[] = "kestrel", airport[] = "lsZh";
    char* argv[] = {program, airport, nullptr};
    takeDebugAirport(2, argv);
    EXPECT_EQ(isDebugAirport("LSZH"), 1);
    EXPECT_EQ(isDebugAirport("lszh"), 1);
    EXPECT_EQ(isDebugAirport("LSZ"), 0);
    EXPECT_EQ(isDebugAirport("LSZHX"), 0);
    EXPECT_EQ(isDebugAirport(nullptr), 0);
}

TEST_F(EntryTest, OptionsAreNeverAirports) {
    char program[] = "kestrel", help[] = "--help", version[] = "--version", bogus[] = "-x",
         airport[] = "EDDF";
    char* helpArgs[] = {program, help, nullptr};
    for (const char* other : {"-h", "-?", "/?"}) {
        std::string argument = other;
        char* args[] = {program, argument.data(), nullptr};
        testing::internal::CaptureStdout();
        EXPECT_EQ(handleOptions(2, args), 0) << other;
        EXPECT_NE(testing::internal::GetCapturedStdout().find("Usage: kestrel [AIRPORT]"), std::string::npos);
    }
    char* versionArgs[] = {program, version, nullptr};
    char* bogusArgs[] = {program, bogus, nullptr};
    char* airportArgs[] = {program, airport, nullptr};

    testing::internal::CaptureStdout();
    EXPECT_EQ(handleOptions(2, helpArgs), 0);
    std::string helpText = testing::internal::GetCapturedStdout();
    EXPECT_NE(helpText.find("Usage: kestrel [AIRPORT]"), std::string::npos);
    EXPECT_NE(helpText.find("kestrel.ini"), std::string::npos);
    EXPECT_NE(helpText.find("Ctrl+C"), std::string::npos);

    testing::internal::CaptureStdout();
    EXPECT_EQ(handleOptions(2, versionArgs), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "kestrel " KESTREL_VERSION "\r\n");

    testing::internal::CaptureStderr();
    EXPECT_EQ(handleOptions(2, bogusArgs), 2);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        std::string("kestrel: unknown option -x (kestrel --help lists the options)") + kPlatformLineEnd);

    EXPECT_EQ(handleOptions(2, airportArgs), -1);
    EXPECT_EQ(handleOptions(1, airportArgs), -1);
    EXPECT_EQ(core.debugAirport[0], '\0');
}

// In a console window of its own: only a failed start or a wrong command line that someone can see waits
// for Enter; another kestrel's refusal shows for a while; everything else closes.
TEST(ConsoleEnd, OnlyAVisibleFailureKeepsTheWindowOpen) {
    using E = ConsoleEnd;
    const struct {
        int exitCode;
        bool refused, stopped, hidden;
        ConsoleEnd end;
    } cases[] = {{1, false, false, false, E::waitForEnter}, {2, false, false, false, E::waitForEnter},
                 {1, true, false, false, E::showLine},      {0, false, false, false, E::close},
                 {1, false, true, false, E::close},         {1, false, false, true, E::close},
                 {1, true, false, true, E::close}};
    for (const auto& c : cases)
        EXPECT_EQ(consoleEndFor(c.exitCode, c.refused, c.stopped, c.hidden), c.end) << &c - cases;
}

TEST_F(EntryTest, ControlHandlerSetsTheStopFlag) {
    EXPECT_FALSE(core.stopRequested.isSet());
    EXPECT_NE(consoleCtrlHandler(0), 0);
    EXPECT_TRUE(core.stopRequested.isSet());
    core = CoreState{};
    EXPECT_FALSE(core.stopRequested.isSet());
}

}  // namespace
