// The tool's CSV input: one row per airport record (README.md gives the format).
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

#include "scenery_writer.h"

namespace sceneryw {

namespace {

const char* const kColumns[] = {"area",           "layer",           "file",           "ident",
                                "name",           "latitude",        "longitude",      "elevation",
                                "tower_latitude", "tower_longitude", "tower_altitude", "runways",
                                "frequencies",    "deletions"};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

// Splits one CSV line into fields: commas separate, double quotes enclose a field that may hold commas,
// and two double quotes inside one stand for one.
bool splitCsvLine(const std::string& line, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted) return false;
    fields.push_back(field);
    return true;
}

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> splitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(trim(part));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(trim(part));
    return parts;
}

bool parseDouble(const std::string& text, double& out) {
    std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(t.c_str(), &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool parseInt(const std::string& text, long min, long max, long& out) {
    std::string t = trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < min || value > max) return false;
    out = value;
    return true;
}

// "28L" -> number 28, designator 1. Designators: L 1, R 2, C 3, W 4, A 5, B 6.
bool parseRunwayEnd(const std::string& text, uint8_t& number, uint8_t& designator) {
    std::string t = trim(text);
    designator = 0;
    if (!t.empty() && !(t.back() >= '0' && t.back() <= '9')) {
        static const std::string kLetters = "LRCWAB";
        size_t at = kLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(t.back()))));
        if (at == std::string::npos) return false;
        designator = static_cast<uint8_t>(at + 1);
        t.pop_back();
    }
    long value;
    if (!parseInt(t, 0, 255, value)) return false;
    number = static_cast<uint8_t>(value);
    return true;
}

bool parseRunwayEnds(const std::string& text, Runway& runway) {
    std::vector<std::string> ends = splitOn(text, '/');
    if (ends.size() != 2) return false;
    return parseRunwayEnd(ends[0], runway.primaryNumber, runway.primaryDesignator) &&
           parseRunwayEnd(ends[1], runway.secondaryNumber, runway.secondaryDesignator);
}

// "28L/10R:lat:lon:length:heading[:width[:surface]]"
bool parseRunway(const std::string& text, Runway& runway) {
    std::vector<std::string> parts = splitOn(text, ':');
    if (parts.size() < 5 || parts.size() > 7) return false;
    if (!parseRunwayEnds(parts[0], runway)) return false;
    if (!parseDouble(parts[1], runway.latitude) || !parseDouble(parts[2], runway.longitude) ||
        !parseDouble(parts[3], runway.lengthM) || !parseDouble(parts[4], runway.headingDeg))
        return false;
    if (parts.size() >= 6 && !parseDouble(parts[5], runway.widthM)) return false;
    long surface = 0;
    if (parts.size() == 7) {
        if (!parseInt(parts[6], 0, 65535, surface)) return false;
        runway.surface = static_cast<uint16_t>(surface);
    }
    return true;
}

// "118.7" (a tower frequency) or "118.7/TYPE".
bool parseFrequency(const std::string& text, Frequency& frequency) {
    std::vector<std::string> parts = splitOn(text, '/');
    if (parts.size() > 2 || !parseDouble(parts[0], frequency.megahertz)) return false;
    if (frequency.megahertz <= 0 || frequency.megahertz >= 268.0) return false;  // Hz must fit 28 bits
    if (parts.size() == 2) {
        long type;
        if (!parseInt(parts[1], 0, 15, type)) return false;
        frequency.type = static_cast<uint16_t>(type);
    }
    return true;
}

bool parseDeletion(const std::string& text, Deletion& deletion) {
    for (const std::string& token : splitOn(text, ';')) {
        if (token.empty()) continue;
        if (token == "runways") {
            deletion.allRunways = true;
        } else if (token == "frequencies") {
            deletion.allFrequencies = true;
        } else if (token.rfind("runway=", 0) == 0) {
            std::vector<std::string> parts = splitOn(token.substr(7), ':');
            Runway runway;
            if (parts.size() > 2 || !parseRunwayEnds(parts[0], runway)) return false;
            long surface = 0;
            if (parts.size() == 2 && !parseInt(parts[1], 0, 255, surface)) return false;
            runway.surface = static_cast<uint16_t>(surface);
            deletion.runways.push_back(runway.key());
        } else if (token.rfind("frequency=", 0) == 0) {
            Frequency frequency;
            if (!parseFrequency(token.substr(10), frequency)) return false;
            deletion.frequencies.push_back(frequency);
        } else {
            return false;
        }
    }
    return true;
}

bool lineError(std::string& error, size_t line, const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// Sections of kinds the reader skips. Without a byte count: one navigation-aid-like section with a
// small record per airport. With one: `bytesPerAirport` per airport, as real files are mostly other
// things than airports, spread over an object section before the airport section and a navigation-aid
// and a terrain-like section after it, so the airports lie between bytes the reader never needs.
void addOtherSections(BglFileDef& file, size_t bytesPerAirport) {
    if (bytesPerAirport == 0) {
        BglSection section;
        section.type = 0x13;
        section.subsections.emplace_back();
        for (size_t i = 0; i < file.airports.size(); ++i)
            section.subsections.back().records.push_back(opaqueSubrecord(0x0013, 34, static_cast<uint32_t>(i)));
        file.otherSections.push_back(std::move(section));
        return;
    }
    constexpr uint16_t kTypes[] = {0x25, 0x13, 0x65};
    constexpr size_t kSections = sizeof kTypes / sizeof kTypes[0];
    constexpr size_t kRecordBytes = 4000;
    const size_t total = bytesPerAirport * file.airports.size();
    uint32_t seed = 0;
    for (size_t s = 0; s < kSections; ++s) {
        size_t left = total / kSections + (s < total % kSections ? 1 : 0);
        BglSection section;
        section.type = kTypes[s];
        section.subsections.emplace_back();
        while (left > 0) {
            // A record is at least its header; the last one of a section may round the section up.
            const size_t bytes = std::max(std::min(left, kRecordBytes), static_cast<size_t>(kRecordHeaderSize));
            section.subsections.back().records.push_back(
                opaqueSubrecord(kTypes[s], bytes - kRecordHeaderSize, seed++));
            left -= std::min(left, bytes);
        }
        file.otherSections.push_back(std::move(section));
    }
    file.otherSectionsBefore = 1;
}

}  // namespace

bool parseAirportCsv(const std::string& text, const CsvOptions& options, LibraryDef& library,
                     std::string& error) {
    library = LibraryDef{};
    std::map<std::string, size_t> areaIndex;
    std::map<std::pair<size_t, std::string>, size_t> fileIndex;
    bool headerSeen = false;
    std::vector<std::string> fields;

    size_t lineNumber = 0;
    size_t position = 0;
    while (position < text.size()) {
        size_t newline = text.find('\n', position);
        std::string line =
            text.substr(position, newline == std::string::npos ? std::string::npos : newline - position);
        position = newline == std::string::npos ? text.size() : newline + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trim(line).empty() || trim(line)[0] == '#') continue;

        if (!splitCsvLine(line, fields)) return lineError(error, lineNumber, "unterminated quoted field");
        if (!headerSeen) {
            if (fields.size() != kColumnCount)
                return lineError(error, lineNumber, "the header must name 14 columns");
            for (size_t i = 0; i < kColumnCount; ++i)
                if (trim(fields[i]) != kColumns[i])
                    return lineError(
                        error, lineNumber,
                        std::string("column ") + std::to_string(i + 1) + " must be named " + kColumns[i]);
            headerSeen = true;
            continue;
        }
        if (fields.size() != kColumnCount)
            return lineError(error, lineNumber, "expected 14 fields, found " + std::to_string(fields.size()));

        const std::string areaName = trim(fields[0]);
        const std::string fileName = trim(fields[2]);
        if (areaName.empty()) return lineError(error, lineNumber, "empty area");
        if (fileName.empty()) return lineError(error, lineNumber, "empty file");
        long layer;
        if (!parseInt(fields[1], -1000000, 1000000, layer)) return lineError(error, lineNumber, "bad layer");

        AirportDef airport;
        airport.ident = trim(fields[3]);
        if (airport.ident.empty() || !packIdent(airport.ident))
            return lineError(error, lineNumber, "identifier must be 1 to 5 characters of 0-9 and A-Z");
        airport.name = fields[4];
        if (!parseDouble(fields[5], airport.latitude) || std::fabs(airport.latitude) > 90)
            return lineError(error, lineNumber, "bad latitude");
        if (!parseDouble(fields[6], airport.longitude) || std::fabs(airport.longitude) > 180)
            return lineError(error, lineNumber, "bad longitude");
        if (!parseDouble(fields[7], airport.elevationM)) return lineError(error, lineNumber, "bad elevation");

        const std::string towerLat = trim(fields[8]), towerLon = trim(fields[9]), towerAlt = trim(fields[10]);
        if (!towerLat.empty() || !towerLon.empty() || !towerAlt.empty()) {
            TowerPosition tower;
            if (!parseDouble(towerLat, tower.latitude) || std::fabs(tower.latitude) > 90 ||
                !parseDouble(towerLon, tower.longitude) || std::fabs(tower.longitude) > 180)
                return lineError(error, lineNumber, "a tower position needs latitude and longitude");
            if (!towerAlt.empty() && !parseDouble(towerAlt, tower.altitudeM))
                return lineError(error, lineNumber, "bad tower altitude");
            airport.tower = tower;
        }
        for (const std::string& item : splitOn(fields[11], ';')) {
            if (item.empty()) continue;
            Runway runway;
            if (!parseRunway(item, runway))
                return lineError(error, lineNumber, "bad runway \"" + item + "\"");
            airport.runways.push_back(runway);
        }
        for (const std::string& item : splitOn(fields[12], ';')) {
            if (item.empty()) continue;
            Frequency frequency;
            if (!parseFrequency(item, frequency))
                return lineError(error, lineNumber, "bad frequency \"" + item + "\"");
            airport.frequencies.push_back(frequency);
        }
        if (!trim(fields[13]).empty()) {
            Deletion deletion;
            if (!parseDeletion(fields[13], deletion)) return lineError(error, lineNumber, "bad deletions");
            airport.deletion = deletion;
        }
        airport.fillerBytes = options.fillerBytesPerRunway * std::max<size_t>(1, airport.runways.size());

        auto area = areaIndex.find(areaName);
        if (area == areaIndex.end()) {
            AreaDef def;
            def.local = areaName;
            def.layer = static_cast<int32_t>(layer);
            def.absoluteNames = options.absoluteNames;
            library.areas.push_back(def);
            area = areaIndex.emplace(areaName, library.areas.size() - 1).first;
        } else if (library.areas[area->second].layer != layer) {
            return lineError(error, lineNumber, "area " + areaName + " was given another layer before");
        }
        AreaDef& areaDef = library.areas[area->second];
        auto file = fileIndex.find({area->second, fileName});
        if (file == fileIndex.end()) {
            BglFileDef def;
            def.name = fileName;
            areaDef.files.push_back(def);
            file = fileIndex.emplace(std::make_pair(area->second, fileName), areaDef.files.size() - 1).first;
        }
        areaDef.files[file->second].airports.push_back(std::move(airport));
    }
    if (!headerSeen) return lineError(error, lineNumber, "no header line");

    if (options.otherSections || options.otherSectionBytesPerAirport > 0)
        for (AreaDef& area : library.areas)
            for (BglFileDef& file : area.files) addOtherSections(file, options.otherSectionBytesPerAirport);
    return true;
}

}  // namespace sceneryw
