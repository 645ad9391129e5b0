// Windows only: FS9 below Program Files, with the VirtualStore copies a virtualised FS9 leaves behind
// (its rewritten scenery.cfg and a new area; Wine makes none, the test writes them).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "e2e/e2e_fixture.h"
#include "scenery/md5.h"
#include "support/program_files_folder.h"

namespace {

using namespace sceneryw;

class VirtualStoreStartup : public ::testing::Test {
protected:
    void SetUp() override {
        f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
        LibraryDef original = oneFileLibrary({toweredAirport("KAAA", "Original", 47.0, 118.1)});
        LibraryDef virtualised = oneFileLibrary({toweredAirport("KBBB", "Copy", 47.1, 118.2)});
        virtualised.areas[0].local = "Addon Scenery\\New";
        virtualised.areas.insert(virtualised.areas.begin(), original.areas[0]);
        std::string error;
        ASSERT_TRUE(writeSceneryLibrary(fs9.original, original, error)) << error;
        ASSERT_TRUE(writeSceneryLibrary(fs9.copy, virtualised, error)) << error;
        std::filesystem::remove_all(fs9.copy / "Scenery");  // the first area has no copy
    }
    ProgramFilesSimFolder fs9;
    FlightFixture f;
};

TEST_F(VirtualStoreStartup, ABuildFromTheCommandLineReadsTheCopiesWhereTheyExist) {
    int exitCode = -1;
    ASSERT_TRUE(f.startKestrel({"--fs-dir", fs9.original.string(), "--build"}));
    ASSERT_TRUE(f.kestrel.waitForExit(90000, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(f.kestrel.output().find("Reading the VirtualStore copies of files below " + fs9.programFiles +
                                      " from " + fs9.copies +
                                      " (the simulator folder comes from the command line)\r\n"),
              std::string::npos)
        << f.kestrel.output();
    const std::string cfg = readFile(fs9.copy / "scenery.cfg"),
                      database = readFile(f.workFile("kestrel.dat"));
    Digest digest{};
    md5Buffer(digest, cfg.data(), static_cast<int32_t>(cfg.size()));
    ASSERT_GE(database.size(), 20u);
    EXPECT_EQ(std::memcmp(database.data() + 4, digest.bytes, 16), 0);

    ASSERT_TRUE(f.startKestrel({"--list"}));
    ASSERT_TRUE(f.kestrel.waitForExit(90000, exitCode));
    EXPECT_NE(f.kestrel.output().find("KAAA"), std::string::npos) << f.kestrel.output();
    EXPECT_NE(f.kestrel.output().find("KBBB"), std::string::npos);
}

// The stand-in simulator's own process answers the token query (under Wine every process counts as
// elevated): the library read is the one the line names.
TEST_F(VirtualStoreStartup, ALiveSimulatorsProcessDecides) {
    ASSERT_TRUE(f.startSim({"--fs-dir", fs9.simFolder()}));
    ASSERT_TRUE(f.startKestrel());
    ASSERT_TRUE(f.kestrel.waitForOutput(" airport infos from scenery.\r\n", 90000)) << f.kestrel.output();
    const std::string out = f.kestrel.output();
    const bool copies =
        out.find("Reading the VirtualStore copies of files below " + fs9.programFiles) != std::string::npos;
    EXPECT_NE(copies, out.find("Reading the files below " + fs9.programFiles +
                               " themselves, not their VirtualStore "
                               "copies in " +
                               fs9.copies + " (FS9 runs ") != std::string::npos)
        << out;
    EXPECT_NE(out.find(copies ? "imported 2 airport infos" : "imported 1 airport infos"), std::string::npos)
        << out;
}

}  // namespace
