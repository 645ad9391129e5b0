#include <gtest/gtest.h>

#include "core/core_state.h"
#include "app/entry.h"
#include "core/log.h"
#include "app/run.h"
#include "platform/platform.h"
#include "kestrel_version.h"
#include "support/log_capture.h"

namespace {

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override { core = CoreState{}; }
    void TearDown() override { core = CoreState{}; }
};

TEST_F(EntryTest, ArgumentIsCutToSevenCharacters) {
    LogCapture log(0);
    char program[] = "kestrel", airport[] = "ABCDEFGHIJ";
    char* argv[] = {program, airport, nullptr};
    takeDebugAirport(2, argv);
    EXPECT_STREQ(core.debugAirport, "ABCDEFG");
    EXPECT_EQ(core.debugAirport[7], '\0');
    EXPECT_EQ(log.text(), "Debugging airport: ABCDEFG\r\n");
    EXPECT_EQ(isDebugAirportSet(), 1);
    EXPECT_EQ(isDebugAirport("ABCDEFGHIJ"), 0);  // longer identifiers never match the cut text
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
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("kestrel: unknown option -x (kestrel --help lists the options)") + kPlatformLineEnd);

    EXPECT_EQ(handleOptions(2, airportArgs), -1);
    EXPECT_EQ(handleOptions(1, airportArgs), -1);
    EXPECT_EQ(core.debugAirport[0], '\0');
}

TEST_F(EntryTest, ControlHandlerSetsTheStopFlag) {
    EXPECT_FALSE(core.stopRequested.isSet());
    EXPECT_NE(consoleCtrlHandler(0), 0);
    EXPECT_TRUE(core.stopRequested.isSet());
    core = CoreState{};
    EXPECT_FALSE(core.stopRequested.isSet());
}

}  // namespace
