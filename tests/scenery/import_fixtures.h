// A clean slate for the import and the database tests: the records' state (RecordsTest), the layer
// list, the database file, the simulator folder, and a progress display that records what it was
// told instead of drawing it (and never sleeps).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "airportdb/airport_fixtures.h"
#include "airportdb/database_file.h"
#include "core/core_state.h"
#include "core/progress.h"
#include "scenery/airport_decoder.h"
#include "scenery/import_record.h"
#include "scenery/scenery_library.h"
#include "scenery_writer.h"
#include "simlink/base_dir.h"
#include "support/temp_dir.h"

struct ProgressRecorder {
    std::vector<std::string> events;  // "open", "range N", "step", "close"
    uint32_t slept = 0;               // milliseconds the display would have held the caller
    uint32_t now = 1000;
    uint32_t stopAtFile = 0;   // the user asks to stop when the display shows this many files
    bool stopAtClose = false;  // or when it closes, the build complete
};
inline ProgressRecorder progressRecorder;

inline const ProgressPlatform kRecordingProgress{
    [] { progressRecorder.events.push_back("open"); },
    [] { return 1; },
    [](ProgressText, const char*) {
        if (progressRecorder.stopAtFile && progressState.filesScanned >= progressRecorder.stopAtFile)
            core.stopRequested.set();
    },
    [](uint16_t maximum) { progressRecorder.events.push_back("range " + std::to_string(maximum)); },
    [](uint16_t) {},
    [] { progressRecorder.events.push_back("step"); },
    [] {
        progressRecorder.events.push_back("close");
        if (progressRecorder.stopAtClose) core.stopRequested.set();
    },
    [] { return progressRecorder.now += 20; },
    [](uint32_t ms) { progressRecorder.slept += ms; },
    [] { return core.stopRequested.isSet() ? 1 : 0; },
};

class ImportTest : public RecordsTest {
protected:
    void SetUp() override {
        RecordsTest::SetUp();
        setLogLevel(0);
        progressRecorder = ProgressRecorder{};
        progressState = ProgressState{};
        setProgressPlatform(&kRecordingProgress);
        releaseSceneryLibrary();
        releaseImportRecord();
        databaseFile = DatabaseFile{};
        std::memset(basedir, 0, sizeof basedir);
    }
    void TearDown() override {
        setProgressPlatform(nullptr);
        releaseSceneryLibrary();
        releaseImportRecord();
        platformCloseHandle(databaseFile.databaseHandle);
        databaseFile = DatabaseFile{};
        std::memset(basedir, 0, sizeof basedir);
        RecordsTest::TearDown();
        releaseImportedAirports();  // nothing points at them once the index is released
        setLogLevel(0);
    }

    // Uses `folder` as the simulator folder: basedir becomes its program path with a backslash.
    void useSimulatorFolder(const std::filesystem::path& folder) {
        const std::string base = sceneryw::programPath(folder) + "\\";
        ASSERT_LT(base.size(), sizeof basedir);
        std::strcpy(basedir, base.c_str());
    }

    // The program path of `name` below the temporary folder.
    std::string programPath(const std::string& name) const {
        return sceneryw::programPath(dir.path() / name);
    }

    TempDir dir;
};
