// The run sequence from start to stop, with the stand-in simulator's core behind the link.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/core_state.h"
#include "core/progress.h"
#include "platform/platform.h"
#include "app/run.h"
#include "fake_transport.h"
#include "scenery_writer.h"
#include "simlink/base_dir.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_state.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

// One airport in the simulator folder, so the run gets past its database.
void writeOneAirport(const std::filesystem::path& simFolder) {
    sceneryw::LibraryDef library;
    library.areas.resize(1);
    library.areas[0].local = "Scenery\\World";
    library.areas[0].files.resize(1);
    library.areas[0].files[0].name = "WORLD";
    library.areas[0].files[0].airports.resize(1);
    library.areas[0].files[0].airports[0].ident = "KSFO";
    std::string error;
    ASSERT_TRUE(sceneryw::writeSceneryLibrary(simFolder, library, error)) << error;
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        core = CoreState{};
        simState = SimState{};
        basedir[0] = '\0';
        server = std::make_unique<FakeServer>();
        server->options.seed.fsDir = (dir.path() / "FS9").string() + "\\";
        std::filesystem::create_directories(dir.path() / "FS9");
        writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=4\r\n");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        setProgressPlatform(&silentProgress());
    }
    void TearDown() override {
        setProgressPlatform(nullptr);
        std::filesystem::current_path(previous);
        ipcClose();
        removeFakeServer();
        core = CoreState{};
        basedir[0] = '\0';
    }

    TempDir dir;
    std::filesystem::path previous;
    std::unique_ptr<FakeServer> server;
};

// Windows refusing what the link needs ends the start at once: no wait.
TEST_F(RunTest, ARefusedOpenEndsTheStartWithExitCodeOne) {
    writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=0\r\n");
    server->failMapping = true;
    installFakeServer(server.get());
    LogCapture log(5);
    EXPECT_EQ(runApplication(), 1);
    EXPECT_EQ(log.text(),
              "FSUIPC connection failed: Failed to create a file mapping object\r\n"
              "An error occurred while initializing kestrel.\r\n");
    EXPECT_EQ(server->liveAtoms(), 0);
}

TEST_F(RunTest, InaccessibleSimulatorFolderEndsTheStart) {
    server->options.seed.fsDir = (dir.path() / "missing").string();
    installFakeServer(server.get());
    LogCapture log(5);
    EXPECT_EQ(runApplication(), 1);
    EXPECT_NE(log.text().find("This directory cannot be accessed, so kestrel will not function.\r\n"
                              "An error occurred while initializing kestrel.\r\n"),
              std::string::npos)
        << log.text();
}

TEST_F(RunTest, NoAirportsEndTheStart) {
    installFakeServer(server.get());
    LogCapture log(5);
    EXPECT_EQ(runApplication(), 1);
    const std::string ending = "No airports in database!\r\nAn error occurred while initializing kestrel.\r\n";
    EXPECT_EQ(log.text().substr(log.text().size() - ending.size()), ending);
    EXPECT_EQ(core.candidates, nullptr);
    EXPECT_EQ(ipcLink.view, nullptr);  // a failed start leaves no link and no atom behind
    EXPECT_EQ(server->liveAtoms(), 0);
}

TEST_F(RunTest, StopBeforeTheLoopClosesTheLinkAndEndsWithExitCodeZero) {
    writeOneAirport(dir.path() / "FS9");
    installFakeServer(server.get());
    static const ProgressPlatform stopAtTheEndOfTheBuild = [] {
        ProgressPlatform progress = silentProgress();
        progress.close = [] { core.stopRequested.set(); };
        return progress;
    }();
    setProgressPlatform(&stopAtTheEndOfTheBuild);
    LogCapture log(5);
    EXPECT_EQ(runApplication(), 0);
    EXPECT_NE(log.text().find("Configuration dump:\r\n"), std::string::npos);
    EXPECT_NE(log.text().find("FSUIPC returns basedir: "), std::string::npos);
    // A stop during the final display of a complete build keeps and stores its airports.
    EXPECT_NE(log.text().find("Successfully imported 1 airport infos from scenery.\r\n"
                              "Ready: 1 airports read from the scenery, FS9 folder " +
                              server->options.seed.fsDir + "\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_TRUE(std::filesystem::exists("kestrel.dat"));
    EXPECT_NE(core.candidates, nullptr);
    EXPECT_EQ(log.text().substr(log.text().size() - 20), "Main loop finished\r\n");
    EXPECT_EQ(ipcLink.view, nullptr);  // closed on the way out
}

// At level 5 each step of the start-up says when it was done, in the order the steps run, up to the
// first tower write.
TEST_F(RunTest, LevelFiveMarksEachStepOfTheStartUp) {
    writeOneAirport(dir.path() / "FS9");
    writeFile(dir.path() / "kestrel.ini", "[KestrelConfig]\r\nLogLevel=5\r\n");
    server->tamper = [this](uint8_t*) {
        if (!server->records.empty() && server->records.back().find("towerLat") != std::string::npos)
            core.stopRequested.set();
    };
    installFakeServer(server.get());
    LogCapture log(5);
    EXPECT_EQ(runApplication(), 0);
    size_t at = 0;
    for (const char* step :
         {"console and instance lock ready", "settings read", "simulator link open", "FS9 folder checked",
          "airport database ready", "first poll done", "first tower write"}) {
        at = log.text().find(std::string("Start-up: ") + step + " at ", at);
        ASSERT_NE(at, std::string::npos) << step << " in order in " << log.text();
    }
}

// A stop at any point of the start-up ends it as a stop: exit code 0, the link shut and its atom deleted,
// "Main loop finished", and none of the lines of a failed start.
TEST_F(RunTest, AStopDuringTheStartUpEndsItInOrder) {
    static const ProgressPlatform stopAtBuild = [] {
        ProgressPlatform progress = silentProgress();
        progress.open = [] { core.stopRequested.set(); };
        return progress;
    }();
    enum class At { open, folderQuestion, build };
    for (At at : {At::open, At::folderQuestion, At::build}) {
        SetUp();
        writeOneAirport(dir.path() / "FS9");
        if (at == At::open) {
            server->failingSends = -1;  // a simulator that never answers, and a stop while it is asked
            server->sendError = 1460;
            core.stopRequested.set();
        } else if (at == At::folderQuestion) {
            server->answersLeft = 1;  // the handshake is answered, then nothing more
            server->sendError = 1460;
            server->tamper = [](uint8_t*) { core.stopRequested.set(); };
        } else {
            setProgressPlatform(&stopAtBuild);
        }
        installFakeServer(server.get());
        LogCapture log(4);
        EXPECT_EQ(runApplication(), 0) << static_cast<int>(at);
        const std::string& text = log.text();
        EXPECT_NE(text.find("Main loop finished\r\n"), std::string::npos) << text;
        for (const char* failure : {"An error occurred", "connection failed", "Problem determining",
                                    "No airports", "kestrel waits"})
            EXPECT_EQ(text.find(failure), std::string::npos) << failure << " in " << text;
        EXPECT_EQ(ipcLink.view, nullptr);
        EXPECT_EQ(server->liveAtoms(), 0);
        EXPECT_FALSE(std::filesystem::exists("kestrel.dat.tmp"));
        if (at == At::build) {
            EXPECT_FALSE(std::filesystem::exists("kestrel.dat"));  // abandoned, not stored
        }
        TearDown();
    }
}

}  // namespace
