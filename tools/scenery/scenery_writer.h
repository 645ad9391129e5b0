// Writes a complete scenery library under a simulator folder: scenery.cfg, one scenery.dat per area and
// the areas' BGL files, from a description in degrees, metres and MHz. Tests build their fixtures with
// it in a few lines; the kestrel-scenery tool fills the description from a CSV file (see README.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bgl_builder.h"

namespace sceneryw {

struct Runway {
    double latitude = 0;  // centre, degrees
    double longitude = 0;
    double lengthM = 0;
    double headingDeg = 0;  // true heading
    double widthM = 45;
    double altitudeM = 0;
    uint16_t surface = 0;  // 0 concrete, 4 asphalt, ...
    uint8_t primaryNumber = 0;
    uint8_t primaryDesignator = 0;  // 0 none, 1 L, 2 R, 3 C, 4 water, 5 A, 6 B
    uint8_t secondaryNumber = 0;
    uint8_t secondaryDesignator = 0;

    // The deletion key that matches this runway.
    RunwayKey key() const;
};

struct Frequency {
    double megahertz = 0;
    uint16_t type = kComTower;  // COM type; 6 is a tower frequency
    std::string name;
    // Written instead of `megahertz` rounded to Hz: the value a compiler that holds the frequency in
    // single precision stores (118099998 for 118.1 MHz).
    std::optional<uint32_t> hz = std::nullopt;
};

struct Deletion {
    bool allRunways = false;
    bool allFrequencies = false;
    std::vector<RunwayKey> runways;
    std::vector<Frequency> frequencies;
};

struct TowerPosition {
    double latitude = 0;
    double longitude = 0;
    double altitudeM = 0;
};

// One airport record.
struct AirportDef {
    std::string ident;  // 1 to 5 of 0-9, A-Z (blanks allowed); see packedIdent for anything else
    std::string name;   // written as it is, of any length, NUL-terminated
    double latitude = 0;
    double longitude = 0;
    double elevationM = 0;
    std::optional<TowerPosition> tower;  // none: the raw values that read as 0.0 degrees, altitude 0
    std::vector<Runway> runways;
    std::vector<Frequency> frequencies;
    std::optional<Deletion> deletion;
    std::optional<uint32_t> packedIdent;  // written instead of the packed `ident`
    std::optional<uint8_t> runwayCount;   // the count at offset 6; default runways.size()
    std::vector<Record> extraSubrecords;  // written after all others, as they are
    size_t fillerBytes = 0;               // more bytes in subrecords of other kinds, as real files have
};

// One BGL file of an area, in the area's `subfolder`.
struct BglFileDef {
    std::string name;  // file name without ".bgl"
    std::string subfolder = "scenery";
    std::vector<AirportDef> airports;
    bool holdsAirports = true;              // the file's flag in scenery.dat
    size_t airportsPerSubsection = 0;       // 0: one subsection per 10-degree cell, in order of appearance
    std::vector<BglSection> otherSections;  // written after the airport section, but for the first
    size_t otherSectionsBefore = 0;         // this many, written before it
    std::optional<Bytes> rawBytes;          // written instead of anything built from the airports
    bool listed = true;                     // named in scenery.dat
    bool written = true;                    // present on disk
};

struct AreaDef {
    int number = 0;     // Area.NNN; 0: the next number after the highest so far
    std::string title;  // default the last part of `local`
    std::string local;  // as written in scenery.cfg: relative to the simulator folder, or absolute
    int32_t layer = 0;
    std::string active = "TRUE";  // the text of the "Active" key
    bool writeActive = true;      // false: no "Active" key
    bool writeLayer = true;       // false: no "Layer" key
    std::vector<BglFileDef> files;
    bool layerHoldsAirports = true;  // the layer flag of scenery.dat
    bool absoluteNames = false;      // scenery.dat names the BGL files by absolute path
    // Where scenery.dat is written, relative to the simulator folder or absolute; default `local`.
    std::optional<std::string> datFolder;
    bool writeDat = true;
    std::vector<size_t> datFileOrder;  // entry placement in scenery.dat (SceneryDat::fileOrder)
};

struct LibraryDef {
    std::vector<AreaDef> areas;
    std::string extraCfgText;  // appended to scenery.cfg as it is
};

struct WriteStats {
    size_t areas = 0;
    size_t files = 0;
    size_t airports = 0;
    uint64_t bytes = 0;
};

// The airport record as the library writes it.
Record encodeAirport(const AirportDef& airport);

// The BGL file as the library writes it, for a test that wants to change one thing before building.
BglFile bglFileFor(const BglFileDef& file);

// A Windows-style path (backslashes) turned into a path of this system, relative to `base` unless it
// is absolute.
std::filesystem::path resolveSimPath(const std::filesystem::path& base, const std::string& path);

// The path the program uses for `path`: backslashes on Windows; on POSIX the native absolute path.
std::string programPath(const std::filesystem::path& path);

// Writes scenery.cfg, every area's scenery.dat and BGL files under `simFolder`, creating folders.
// Returns true, or false with `error` set. `stats` (optional) receives what was written.
bool writeSceneryLibrary(const std::filesystem::path& simFolder, const LibraryDef& library,
                         std::string& error, WriteStats* stats = nullptr);

// --- The CSV input of the tool (README.md documents it) ---------------------------------------------

struct CsvOptions {
    size_t fillerBytesPerRunway = 0;  // AirportDef::fillerBytes = this * max(1, runways)
    bool otherSections = false;       // add a section of another type to every file
    size_t otherSectionBytesPerAirport = 0;  // instead: sections of other types, this many bytes per airport
    bool absoluteNames = false;
};

// Parses the CSV text into a library. Returns true, or false with `error` naming the line.
bool parseAirportCsv(const std::string& text, const CsvOptions& options, LibraryDef& library,
                     std::string& error);

// Formats one runway as the CSV's runway field does ("28L/10R:37.61:-122.37:3618:298").
std::string formatCsvRunway(const Runway& runway);

}  // namespace sceneryw
