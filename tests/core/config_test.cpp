#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/config.h"
#include "core/log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const char* const kDefaultDump =
    "Configuration dump:\r\nlogLevel=4\r\ndisplayDuration=5\r\nmaxDisplayInfoAltitude=3042\r\n"
    "towerMinCandidates=100\r\ncomLockThreshold=30\r\nzoomLevel=384\r\nupdateInterval=5000\r\n"
    "towerAlt1Rw=30\r\ntowerAlt2Rw=50\r\ntowerAlt3Rw=100\r\ntowerAlt4Rw=140\r\ntowerAlt5Rw=140\r\n"
    "towerAlt6Rw=140\r\nsimpleFixHeading=90\r\nsimpleFixDistance=10\r\nalwaysSetTower=0\r\n"
    "forceFsPathToUNC=0\r\n";

class ConfigTest : public ::testing::Test {
protected:
    Config* load(const std::string& iniText) {
        writeFile(dir.path() / "kestrel.ini", iniText);
        Config* config = configDefaults();
        configLoad(config, dir.file("kestrel.ini").c_str());
        owned.reset(config);
        return config;
    }
    TempDir dir;
    std::unique_ptr<Config> owned;
};

TEST_F(ConfigTest, DefaultsSetLogLevelThree) {
    setLogLevel(0);
    std::unique_ptr<Config> config(configDefaults());
    EXPECT_EQ(currentLogLevel(), 3);
    EXPECT_EQ(config->updateInterval, 5000u);
    EXPECT_EQ(config->zoomLevel, 384u);
    EXPECT_EQ(config->towerAlt6Rw, 140u);
}

// Without a file the pilot learns which file counts (its full path) and that the defaults are used.
TEST_F(ConfigTest, NoFileKeepsDefaultsAndSaysSoAtLevelThree) {
    std::filesystem::create_directories(dir.path() / "folder.ini");
    writeFile(dir.path() / "empty.ini", "");
    const struct {
        const char* name;
        std::string begins, ends;  // of the whole log
    } cases[] = {
        {"missing.ini",
         "There is no settings file " + dir.file("missing.ini") + ": kestrel uses the default settings.\r\n",
         ""},
        {"folder.ini", "The settings file " + dir.file("folder.ini") + " cannot be read, error was: ",
         ". kestrel uses the default settings.\r\n"},
        {"empty.ini", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(3);
        std::unique_ptr<Config> config(configDefaults());
        configLoad(config.get(), dir.file(c.name).c_str());
        EXPECT_EQ(currentLogLevel(), 3);
        EXPECT_EQ(log.text().substr(0, c.begins.size()), c.begins) << log.text();
        EXPECT_TRUE(log.text().ends_with(c.ends)) << log.text();
        if (c.begins.empty()) {
            EXPECT_EQ(log.text(), "");
        }
        std::unique_ptr<Config> defaults(configDefaults());
        EXPECT_EQ(0, memcmp(config.get(), defaults.get(), sizeof(Config)));
    }
}

TEST_F(ConfigTest, DumpBytesAtLevelFour) {
    LogCapture log(5);
    load("[KestrelConfig]\r\nLogLevel=4\r\n");
    EXPECT_EQ(log.text(), kDefaultDump);
    EXPECT_EQ(currentLogLevel(), 4);
}

TEST_F(ConfigTest, OneKeyChangesOnlyItsField) {
    LogCapture log(5);
    Config* config = load("[KestrelConfig]\nLogLevel=5\n");
    std::unique_ptr<Config> defaults(configDefaults());
    defaults->logLevel = 5;
    EXPECT_EQ(0, memcmp(config, defaults.get(), sizeof(Config)));
    EXPECT_NE(log.text().find("Configuration dump:\r\nlogLevel=5\r\n"), std::string::npos);
}

TEST_F(ConfigTest, OtherSectionsAndKeysHaveNoEffect) {
    LogCapture log(5);
    Config* config = load(
        "[Other]\nUpdateInterval=1\n"
        "[KestrelConfig]\nUpdateIntervall=2\nZoom=3\n");
    EXPECT_EQ(config->updateInterval, 5000u);
    EXPECT_EQ(config->zoomLevel, 384u);
    EXPECT_EQ(log.text(), "");
}

TEST_F(ConfigTest, NamesMatchWithoutRegardToCase) {
    LogCapture log(5);
    Config* config = load("[kestrelconfig]\nupdateinterval=250\nZOOMLEVEL = 512\n");
    EXPECT_EQ(config->updateInterval, 250u);
    EXPECT_EQ(config->zoomLevel, 512u);
}

TEST_F(ConfigTest, SignedValues) {
    LogCapture log(5);
    Config* config = load(
        "[KestrelConfig]\nLogLevel=4\nSimpleFixDistance=-300\nMaxDisplayInfoAltitude=-1\n"
        "SimpleFixHeading=-90\n");
    EXPECT_EQ(config->simpleFixDistance, -300);
    EXPECT_EQ(config->maxDisplayInfoAltitude, -1);
    EXPECT_EQ(config->simpleFixHeading, -90);
    EXPECT_NE(log.text().find("\r\nsimpleFixDistance=-300\r\n"), std::string::npos);
    EXPECT_NE(log.text().find("\r\nmaxDisplayInfoAltitude=-1\r\n"), std::string::npos);
    // %u shows the 32 bits as unsigned, as the dump format says.
    EXPECT_NE(log.text().find("\r\nsimpleFixHeading=4294967206\r\n"), std::string::npos);
}

// The kestrel.ini of the release zip, read by this platform's reader (ours natively, Windows' own
// under Wine): every key is there and at its default, and no comment line changes a value. The fields
// start from values no default has, so a missing or misspelt key shows.
TEST_F(ConfigTest, ShippedSettingsFileHoldsEveryDefault) {
    LogCapture log(5);
    std::string text = readFile(std::filesystem::path(binaryDir()) / ".." / "test-data" / "kestrel.ini");
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::unique_ptr<Config> defaults(configDefaults());
    for (const std::string* shipped : {&text, &crlf}) {
        writeFile(dir.path() / "kestrel.ini", *shipped);
        Config config;
        std::memset(&config, 0x5A, sizeof config);
        configLoad(&config, dir.file("kestrel.ini").c_str());
        EXPECT_EQ(0, memcmp(&config, defaults.get(), sizeof(Config))) << (shipped == &crlf ? "CR LF" : "LF");
    }
}

TEST_F(ConfigTest, LogLevelZeroHidesTheDump) {
    LogCapture log(5);
    load("[KestrelConfig]\nLogLevel=0\n");
    EXPECT_EQ(currentLogLevel(), 0);
    EXPECT_EQ(log.text(), "");
}

}  // namespace
