// A flight on the desk: a generated simulator folder with its scenery library, the stand-in simulator
// replaying a scenario, and a copy of the real kestrel program in a folder of its own (where it keeps its
// files), started from another working folder, as the simulator interface's program entries start it.
#pragma once

#include <string>
#include <vector>

#include "scenery_writer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

class FlightFixture {
public:
    FlightFixture();
    ~FlightFixture();

    // Writes the scenery library into the simulator folder.
    void writeScenery(const sceneryw::LibraryDef& library);
    // Writes kestrel.ini beside the program.
    void writeSettings(const std::string& iniText);
    // Writes the scenario (CSV lines after the header).
    void writeScenario(const std::string& rows);

    // Starts kestrel-sim with the scenario and a record file; waits until it answers.
    bool startSim(const std::vector<std::string>& extraArguments = {});
    void stopSim();
    // Starts the program from the working folder.
    bool startKestrel(const std::vector<std::string>& arguments = {});
    // Stops kestrel the way a user does where the system can deliver that, else ends it: a stopped
    // kestrel closes its link and leaves nothing behind.
    void stopKestrel();

    // The simulator folder as the program names it (Windows form, trailing backslash).
    std::string simFolder() const;
    // The program's copy, and a file beside it (kestrel's folder itself for "").
    std::string kestrelProgram() const;
    std::string kestrelFile(const std::string& name) const;
    // The folder kestrel is started from, and the names in it: none, whatever kestrel did.
    std::string workingFolder() const;
    std::vector<std::string> workingFolderNames() const;

    // The JSON lines the simulator recorded so far.
    std::vector<std::string> records() const;
    // Waits until a recorded line contains every one of `needles`; returns its index or -1.
    int waitForRecord(const std::vector<std::string>& needles, int timeoutMs, size_t from = 0) const;

    ChildProcess sim;
    ChildProcess kestrel;

private:
    TempDir root_;
    std::string program_;
};

// A number field of a recorded JSON line; NaN when the line has none.
double recordField(const std::string& line, const std::string& key);

// A towered airport on the meridian 8 E, 400 m up, with one tower frequency.
sceneryw::AirportDef toweredAirport(const std::string& ident, const std::string& name, double lat, double mhz);
// A library of one area (layer 10) with one BGL file holding `airports`.
sceneryw::LibraryDef oneFileLibrary(const std::vector<sceneryw::AirportDef>& airports);
