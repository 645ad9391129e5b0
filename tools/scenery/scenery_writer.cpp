#include "scenery_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <system_error>

namespace sceneryw {

namespace {

namespace fs = std::filesystem;

// Subrecord ids of what real airport records carry besides runways, frequencies and names (taxiways,
// parking, aprons); the reader passes over them.
constexpr uint16_t kFillerIds[] = {0x001A, 0x001C, 0x003D, 0x001D};
constexpr size_t kFillerChunk = 4000;

bool isProgramAbsolute(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return true;
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
#ifndef _WIN32
    if (!path.empty() && path[0] == '/') return true;
#endif
    return false;
}

uint32_t frequencyHz(const Frequency& f) {
    return f.hz ? *f.hz : encodeFrequencyHz(f.megahertz);
}

std::string joinWindows(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '\\' || a.back() == '/') return a + b;
    return a + "\\" + b;
}

std::string lastPart(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/'))
        trimmed.pop_back();
    size_t slash = trimmed.find_last_of("\\/");
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool writeBytes(const fs::path& path, const Bytes& bytes, std::string& error, WriteStats* stats) {
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    if (ec) {
        error = "cannot create folder " + path.parent_path().string() + ": " + ec.message();
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    if (stats) stats->bytes += bytes.size();
    return true;
}

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

}  // namespace

RunwayKey Runway::key() const {
    return RunwayKey{static_cast<uint8_t>(surface), primaryNumber, secondaryNumber,
                     static_cast<uint8_t>(((secondaryDesignator & 0xF) << 4) | (primaryDesignator & 0xF))};
}

Record encodeAirport(const AirportDef& airport) {
    AirportFields fields;
    fields.runwayCount =
        airport.runwayCount.value_or(static_cast<uint8_t>(std::min<size_t>(airport.runways.size(), 255)));
    fields.latitude = encodeLatitude(airport.latitude);
    fields.longitude = encodeLongitude(airport.longitude);
    fields.altitudeMm = encodeAltitude(airport.elevationM);
    if (airport.tower) {
        fields.towerLatitude = encodeLatitude(airport.tower->latitude);
        fields.towerLongitude = encodeLongitude(airport.tower->longitude);
        fields.towerAltitudeMm = encodeAltitude(airport.tower->altitudeM);
    }
    fields.packedIdent = airport.packedIdent ? *airport.packedIdent : packIdent(airport.ident).value_or(0);

    std::vector<Record> subrecords;
    subrecords.push_back(nameSubrecord(airport.name));
    if (airport.deletion) {
        DeleteAirportFields del;
        del.flags = static_cast<uint8_t>((airport.deletion->allRunways ? kDeleteAllRunways : 0) |
                                         (airport.deletion->allFrequencies ? kDeleteAllFrequencies : 0));
        del.runways = airport.deletion->runways;
        for (const Frequency& f : airport.deletion->frequencies)
            del.frequencies.push_back(deleteFrequencyEntry(f.type, frequencyHz(f)));
        subrecords.push_back(deleteAirportSubrecord(del));
    }
    for (const Runway& r : airport.runways) {
        RunwayFields fields;
        fields.surface = r.surface;
        fields.primaryNumber = r.primaryNumber;
        fields.primaryDesignator = r.primaryDesignator;
        fields.secondaryNumber = r.secondaryNumber;
        fields.secondaryDesignator = r.secondaryDesignator;
        fields.latitude = encodeLatitude(r.latitude);
        fields.longitude = encodeLongitude(r.longitude);
        fields.altitudeMm = encodeAltitude(r.altitudeM);
        fields.lengthM = static_cast<float>(r.lengthM);
        fields.widthM = static_cast<float>(r.widthM);
        fields.heading = static_cast<float>(r.headingDeg);
        subrecords.push_back(runwaySubrecord(fields));
    }
    for (const Frequency& f : airport.frequencies)
        subrecords.push_back(comSubrecord(f.type, frequencyHz(f), f.name));
    size_t filler = airport.fillerBytes;
    for (size_t i = 0; filler > 0; ++i) {
        size_t chunk = std::min(filler, kFillerChunk);
        size_t body = chunk > kRecordHeaderSize ? chunk - kRecordHeaderSize : 0;
        subrecords.push_back(
            opaqueSubrecord(kFillerIds[i % 4], body, fields.packedIdent + static_cast<uint32_t>(i)));
        filler -= chunk;
    }
    subrecords.insert(subrecords.end(), airport.extraSubrecords.begin(), airport.extraSubrecords.end());
    return airportRecord(fields, subrecords);
}

BglFile bglFileFor(const BglFileDef& file) {
    BglFile bgl;
    if (!file.airports.empty()) {
        BglSection section;
        section.type = kSectionAirport;
        std::map<long, size_t> cells;
        for (const AirportDef& airport : file.airports) {
            size_t index;
            if (file.airportsPerSubsection > 0) {
                if (section.subsections.empty() ||
                    section.subsections.back().records.size() >= file.airportsPerSubsection)
                    section.subsections.emplace_back();
                index = section.subsections.size() - 1;
            } else {
                long row = static_cast<long>(std::floor((airport.latitude + 90.0) / 10.0));
                long column = static_cast<long>(std::floor((airport.longitude + 180.0) / 10.0));
                long cell = row * 64 + column;
                auto found = cells.find(cell);
                if (found == cells.end()) {
                    found = cells.emplace(cell, section.subsections.size()).first;
                    section.subsections.emplace_back();
                    section.subsections.back().cell = static_cast<uint32_t>(cell);
                }
                index = found->second;
            }
            section.subsections[index].records.push_back(encodeAirport(airport));
        }
        bgl.sections.push_back(std::move(section));
    }
    const auto before = file.otherSections.begin() +
                        static_cast<std::ptrdiff_t>(std::min(file.otherSectionsBefore, file.otherSections.size()));
    bgl.sections.insert(bgl.sections.begin(), file.otherSections.begin(), before);
    bgl.sections.insert(bgl.sections.end(), before, file.otherSections.end());
    return bgl;
}

fs::path resolveSimPath(const fs::path& base, const std::string& path) {
    std::string native = path;
#ifndef _WIN32
    std::replace(native.begin(), native.end(), '\\', '/');
#endif
    if (isProgramAbsolute(path)) return fs::path(native);
    return base / fs::path(native);
}

std::string programPath(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    std::string text = (ec ? path : absolute).lexically_normal().string();
#ifdef _WIN32
    std::replace(text.begin(), text.end(), '/', '\\');
#endif
    return text;
}

bool writeSceneryLibrary(const fs::path& simFolder, const LibraryDef& library, std::string& error,
                         WriteStats* stats) {
    std::string cfg =
        "[General]\r\nTitle=FS9 World Scenery\r\nDescription=FS9 Scenery Data\r\nClean_on_Exit=TRUE\r\n";
    int nextNumber = 1;
    for (const AreaDef& area : library.areas) {
        int number = area.number > 0 ? area.number : nextNumber;
        nextNumber = std::max(nextNumber, number + 1);
        char section[32];
        std::snprintf(section, sizeof section, "Area.%03d", number);
        cfg += "\r\n[";
        cfg += section;
        cfg += "]\r\nTitle=" + (area.title.empty() ? lastPart(area.local) : area.title) + "\r\n";
        cfg += "Local=" + area.local + "\r\n";
        if (area.writeLayer) cfg += "Layer=" + std::to_string(area.layer) + "\r\n";
        if (area.writeActive) cfg += "Active=" + area.active + "\r\n";
        cfg += "Required=FALSE\r\n";

        const fs::path areaFolder = resolveSimPath(simFolder, area.local);
        SceneryDat dat;
        dat.holdsAirports = area.layerHoldsAirports;
        dat.fileOrder = area.datFileOrder;
        for (const BglFileDef& file : area.files) {
            fs::path bglPath = areaFolder;
            if (!file.subfolder.empty()) bglPath /= file.subfolder;
            bglPath /= file.name + ".bgl";
            if (file.written) {
                Bytes bytes = file.rawBytes ? *file.rawBytes : buildBgl(bglFileFor(file));
                if (!writeBytes(bglPath, bytes, error, stats)) return false;
                if (stats) {
                    ++stats->files;
                    stats->airports += file.airports.size();
                }
            }
            if (!file.listed) continue;
            SceneryDatEntry entry;
            if (area.absoluteNames) {
                std::string full = programPath(bglPath);
                entry.name = full.substr(0, full.size() - 4);
            } else {
                entry.name = joinWindows(joinWindows(area.local, file.subfolder), file.name);
            }
            entry.holdsAirports = file.holdsAirports;
            dat.entries.push_back(std::move(entry));
        }
        if (area.writeDat) {
            fs::path datPath = resolveSimPath(simFolder, area.datFolder.value_or(area.local)) / "scenery.dat";
            if (!writeBytes(datPath, buildSceneryDat(dat), error, stats)) return false;
        }
        if (stats) ++stats->areas;
    }
    cfg += library.extraCfgText;
    return writeBytes(simFolder / "scenery.cfg", Bytes(cfg.begin(), cfg.end()), error, stats);
}

std::string formatCsvRunway(const Runway& runway) {
    static const char kDesignators[] = "\0LRCWAB";
    auto end = [&](uint8_t number, uint8_t designator) {
        std::string text = std::to_string(number);
        if (text.size() < 2) text = "0" + text;
        if (designator >= 1 && designator <= 6) text += kDesignators[designator];
        return text;
    };
    std::string text = end(runway.primaryNumber, runway.primaryDesignator) + "/" +
                       end(runway.secondaryNumber, runway.secondaryDesignator);
    text += ":" + formatNumber(runway.latitude) + ":" + formatNumber(runway.longitude) + ":" +
            formatNumber(runway.lengthM) + ":" + formatNumber(runway.headingDeg) + ":" +
            formatNumber(runway.widthM) + ":" + std::to_string(runway.surface);
    return text;
}

}  // namespace sceneryw
