// Windows only: FS9 below Program Files, with the VirtualStore copies a virtualised FS9 leaves behind
// (its rewritten scenery.cfg and a new area; Wine makes none, the test writes them).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/e2e_fixture.h"
#include "support/program_files_folder.h"

namespace {

using namespace sceneryw;

TEST(VirtualStoreStartup, TheLiveSimulatorOrTheCommandLineDecidesWhichLibraryIsRead) {
    ProgramFilesSimFolder fs9;
    FlightFixture f;
    f.writeSettings("[KestrelConfig]\r\nLogLevel=4\r\n");
    LibraryDef library = oneFileLibrary({toweredAirport("KAAA", "Original", 47.0, 118.1)});
    std::string error;
    ASSERT_TRUE(writeSceneryLibrary(fs9.original, library, error)) << error;
    LibraryDef added = oneFileLibrary({toweredAirport("KBBB", "Copy", 47.1, 118.2)});
    added.areas[0].local = "Addon Scenery\\New";
    library.areas.push_back(added.areas[0]);
    ASSERT_TRUE(writeSceneryLibrary(fs9.copy, library, error)) << error;
    std::filesystem::remove_all(fs9.copy / "Scenery");  // the first area has no copy
    const auto said = [&f](const std::string& text) {
        return f.kestrel.output().find(text) != std::string::npos;
    };

    // The stand-in simulator's own process answers the token query (under Wine every process counts
    // as elevated): the library read is the one the line names.
    ASSERT_TRUE(f.startSim({"--fs-dir", fs9.sim}));
    ASSERT_TRUE(f.startKestrel());
    ASSERT_TRUE(f.kestrel.waitForOutput(" airport infos from ", 90000)) << f.kestrel.output();
    const bool copies = said("Reading the VirtualStore copies of files below " + fs9.programFiles);
    EXPECT_NE(copies, said("Reading the files below " + fs9.programFiles)) << f.kestrel.output();
    EXPECT_TRUE(said(fs9.copies + " (FS9 runs ")) << f.kestrel.output();  // its process answered
    EXPECT_TRUE(said(copies ? " 2 airport infos from " : " 1 airport infos from ")) << f.kestrel.output();
    f.stopKestrel();

    int exitCode = -1;
    ASSERT_TRUE(f.startKestrel({"--fs-dir", fs9.original.string(), "--build"}));
    ASSERT_TRUE(f.kestrel.waitForExit(90000, exitCode)) << f.kestrel.output();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(said(fs9.copies + " (the simulator folder comes from the command line)\r\n"))
        << f.kestrel.output();
    EXPECT_TRUE(said("imported 2 airport infos"));  // the original area and the copy's new one
}

}  // namespace
