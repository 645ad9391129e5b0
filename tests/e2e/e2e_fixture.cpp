#include "e2e/e2e_fixture.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "support/test_paths.h"

FlightFixture::FlightFixture() {
    std::filesystem::create_directories(root_.path() / "FS9");
    std::filesystem::create_directories(root_.path() / "work");
    std::filesystem::create_directories(root_.path() / "run");
    program_ = copiedProgram("kestrel", root_.path() / "kestrel");
#ifndef _WIN32
    // kestrel and the stand-in meet in a run folder of this test's own, so tests never cross.
    setenv("KESTREL_RUN_DIR", (root_.path() / "run").string().c_str(), 1);
#endif
}

FlightFixture::~FlightFixture() {
    // Both end the way a user ends them, so a sanitized build checks itself for leaks at exit too.
    stopKestrel();
    stopSim();
}

void FlightFixture::writeScenery(const sceneryw::LibraryDef& library) {
    std::string error;
    if (!sceneryw::writeSceneryLibrary(root_.path() / "FS9", library, error))
        ADD_FAILURE() << "scenery not written: " << error;
}

void FlightFixture::writeSettings(const std::string& iniText) {
    writeFile(root_.path() / "kestrel" / "kestrel.ini", iniText);
}

void FlightFixture::writeScenario(const std::string& rows) {
    writeFile(root_.path() / "flight.csv", "time,lat,lon,alt,com1,com2,selector,ready,menu,pause\n" + rows);
}

std::string FlightFixture::simFolder() const {
    return sceneryw::programPath(root_.path() / "FS9") + "\\";
}

std::string FlightFixture::kestrelProgram() const {
    return program_;
}

std::string FlightFixture::kestrelFile(const std::string& name) const {
    return (root_.path() / "kestrel" / name).string();
}

std::string FlightFixture::workingFolder() const {
    return (root_.path() / "work").string();
}

std::vector<std::string> FlightFixture::workingFolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_.path() / "work"))
        names.push_back(entry.path().filename().string());
    return names;
}

bool FlightFixture::startSim(const std::vector<std::string>& extraArguments) {
    std::vector<std::string> arguments = {"--fs-dir", simFolder(), "--record",
                                          (root_.path() / "record.jsonl").string()};
    if (std::filesystem::exists(root_.path() / "flight.csv")) {
        arguments.push_back("--scenario");
        arguments.push_back((root_.path() / "flight.csv").string());
    }
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    if (!sim.start(builtProgram("kestrel-sim"), arguments, root_.path().string())) return false;
    return sim.waitForOutput("kestrel-sim ready", 60000);
}

void FlightFixture::stopSim() {
    int code = 0;
    if (!sim.requestStop() || !sim.waitForExit(30000, code)) sim.kill();
}

bool FlightFixture::startKestrel(const std::vector<std::string>& arguments) {
    return kestrel.start(program_, arguments, workingFolder());
}

void FlightFixture::stopKestrel() {
    int code = 0;
    if (!kestrel.requestStop() || !kestrel.waitForExit(30000, code)) kestrel.kill();
}

std::vector<std::string> FlightFixture::records() const {
    std::istringstream in(readFile(root_.path() / "record.jsonl"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

int FlightFixture::waitForRecord(const std::vector<std::string>& needles, int timeoutMs, size_t from) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<std::string> lines = records();
        for (size_t i = from; i < lines.size(); ++i) {
            bool all = true;
            for (const std::string& n : needles)
                all = all && lines[i].find(n) != std::string::npos;
            if (all) return static_cast<int>(i);
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

double recordField(const std::string& line, const std::string& key) {
    size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

sceneryw::AirportDef toweredAirport(const std::string& ident, const std::string& name, double lat, double mhz) {
    sceneryw::AirportDef def;
    def.ident = ident;
    def.name = name;
    def.latitude = lat;
    def.longitude = 8.0;
    def.elevationM = 400;
    def.frequencies.push_back(sceneryw::Frequency{mhz, sceneryw::kComTower, ""});
    return def;
}

sceneryw::LibraryDef oneFileLibrary(const std::vector<sceneryw::AirportDef>& airports) {
    sceneryw::AreaDef area;
    area.local = "Scenery\\Test";
    area.layer = 10;
    area.files.resize(1);
    area.files[0].name = "AIRPORTS";
    area.files[0].airports = airports;
    sceneryw::LibraryDef library;
    library.areas.push_back(area);
    return library;
}
