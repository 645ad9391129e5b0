#include "bgl_builder.h"

#include <cmath>
#include <cstring>

namespace sceneryw {

namespace {

void appendU8(Bytes& out, uint8_t value) {
    out.push_back(value);
}

void appendU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void appendU32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendF32(Bytes& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendU32(out, bits);
}

void setU32(Bytes& out, size_t offset, uint32_t value) {
    if (out.size() < offset + 4) out.resize(offset + 4);
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t roundToU32(double value) {
    double rounded = std::floor(value + 0.5);
    if (!(rounded >= 0)) return 0;  // also NaN
    if (rounded >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(rounded);
}

uint32_t checkedSize(size_t size) {
    return static_cast<uint32_t>(size);
}

}  // namespace

uint32_t encodeLatitude(double degrees) {
    return roundToU32((90.0 - degrees) * 536870912.0 / 180.0);
}

uint32_t encodeLongitude(double degrees) {
    return roundToU32((degrees + 180.0) * 3.0 * 268435456.0 / 360.0);
}

uint32_t encodeAltitude(double metres) {
    double millimetres = std::floor(metres * 1000.0 + 0.5);
    return static_cast<uint32_t>(static_cast<int64_t>(millimetres));
}

uint32_t encodeFrequencyHz(double megahertz) {
    return roundToU32(megahertz * 1000000.0);
}

uint32_t packIdentDigits(const std::array<uint8_t, 5>& digits, uint32_t lowBits) {
    uint32_t value = 0;
    for (uint8_t digit : digits)
        value = value * 38 + digit;
    return (value << 5) | (lowBits & 0x1F);
}

std::optional<uint32_t> packIdent(std::string_view ident) {
    if (ident.size() > 5) return std::nullopt;
    std::array<uint8_t, 5> digits{};
    size_t first = 5 - ident.size();
    for (size_t i = 0; i < ident.size(); ++i) {
        char c = ident[i];
        uint8_t digit;
        if (c == ' ') {
            digit = 0;
        } else if (c >= '0' && c <= '9') {
            digit = static_cast<uint8_t>(2 + (c - '0'));
        } else if (c >= 'A' && c <= 'Z') {
            digit = static_cast<uint8_t>(12 + (c - 'A'));
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<uint8_t>(12 + (c - 'a'));
        } else {
            return std::nullopt;
        }
        digits[first + i] = digit;
    }
    return packIdentDigits(digits);
}

Bytes encodeRecord(const Record& record) {
    Bytes out;
    out.reserve(kRecordHeaderSize + record.body.size());
    appendU16(out, record.id);
    appendU32(out, record.sizeField.value_or(checkedSize(kRecordHeaderSize + record.body.size())));
    out.insert(out.end(), record.body.begin(), record.body.end());
    return out;
}

Record runwaySubrecord(const RunwayFields& runway) {
    Record record{kSubrecordRunway, {}, std::nullopt};
    Bytes& b = record.body;
    appendU16(b, runway.surface);
    appendU8(b, runway.primaryNumber);
    appendU8(b, runway.primaryDesignator);
    appendU8(b, runway.secondaryNumber);
    appendU8(b, runway.secondaryDesignator);
    appendU32(b, 0);  // primary ILS ident
    appendU32(b, 0);  // secondary ILS ident
    appendU32(b, runway.longitude);
    appendU32(b, runway.latitude);
    appendU32(b, runway.altitudeMm);
    appendF32(b, runway.lengthM);
    appendF32(b, runway.widthM);
    appendF32(b, runway.heading);
    appendF32(b, 0.0f);  // pattern altitude
    appendU16(b, 0);     // markings
    appendU8(b, 0);      // lights
    appendU8(b, 0);      // pattern flags
    return record;
}

Record comSubrecord(uint16_t type, uint32_t frequencyHz, std::string_view name) {
    Record record{kSubrecordCom, {}, std::nullopt};
    appendU16(record.body, type);
    appendU32(record.body, frequencyHz);
    record.body.insert(record.body.end(), name.begin(), name.end());
    record.body.push_back(0);
    return record;
}

Record nameSubrecord(std::string_view text, bool terminate) {
    Record record{kSubrecordName, {}, std::nullopt};
    record.body.assign(text.begin(), text.end());
    if (terminate) record.body.push_back(0);
    return record;
}

Record deleteAirportSubrecord(const DeleteAirportFields& fields) {
    Record record{kSubrecordDeleteAirport, {}, std::nullopt};
    Bytes& b = record.body;
    appendU8(b, fields.flags);
    appendU8(b, 0);
    appendU8(b, fields.runwayCount.value_or(static_cast<uint8_t>(fields.runways.size())));
    appendU8(b, fields.steppedCount.value_or(static_cast<uint8_t>(fields.stepped.size())));
    appendU8(b, fields.frequencyCount.value_or(static_cast<uint8_t>(fields.frequencies.size())));
    appendU8(b, 0);
    for (const RunwayKey& key : fields.runways) {
        appendU8(b, key.surface);
        appendU8(b, key.primaryNumber);
        appendU8(b, key.secondaryNumber);
        appendU8(b, key.designators);
    }
    for (uint32_t entry : fields.stepped)
        appendU32(b, entry);
    for (uint32_t entry : fields.frequencies)
        appendU32(b, entry);
    return record;
}

uint32_t deleteFrequencyEntry(uint16_t type, uint32_t frequencyHz) {
    return (static_cast<uint32_t>(type & 0xF) << 28) | (frequencyHz & 0x0FFFFFFF);
}

Record opaqueSubrecord(uint16_t id, size_t bodyBytes, uint32_t seed) {
    Record record{id, {}, std::nullopt};
    record.body.resize(bodyBytes);
    uint32_t state = seed * 2654435761u + 0x9E3779B9u;
    for (uint8_t& byte : record.body) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state);
    }
    return record;
}

Record airportRecord(const AirportFields& fields, const std::vector<Record>& subrecords) {
    Record record{kRecordAirport, {}, std::nullopt};
    Bytes& b = record.body;
    appendU8(b, fields.runwayCount);  // 6
    appendU8(b, 0);                   // 7: COM count
    appendU8(b, 0);                   // 8: start count
    appendU8(b, 0);                   // 9: approach count
    appendU8(b, 0);                   // 10: apron count
    appendU8(b, 0);                   // 11: helipad count
    appendU32(b, fields.longitude);   // 12
    appendU32(b, fields.latitude);    // 16
    appendU32(b, fields.altitudeMm);  // 20
    appendU32(b, fields.towerLongitude);
    appendU32(b, fields.towerLatitude);
    appendU32(b, fields.towerAltitudeMm);
    appendF32(b, 0.0f);  // 36: magnetic variation
    appendU32(b, fields.packedIdent);
    appendU32(b, 0);  // 44: region
    appendU32(b, 0);  // 48: fuel
    for (const Record& sub : subrecords) {
        Bytes bytes = encodeRecord(sub);
        b.insert(b.end(), bytes.begin(), bytes.end());
        if (sub.id == kSubrecordCom && b[1] < 255) ++b[1];
    }
    return record;
}

BglLayout layoutBgl(const BglFile& file) {
    BglLayout layout;
    Bytes& out = layout.bytes;
    const size_t headerBytes = file.headerSize < 24 ? 24 : file.headerSize;
    out.assign(headerBytes, 0);
    setU32(out, 0, file.magic);
    setU32(out, 4, file.headerSize);
    setU32(out, 16, 0x08051803);  // second magic word
    setU32(out, 20, file.sectionCount.value_or(checkedSize(file.sections.size())));

    // The section table goes where the header size says (it may overlap a short header).
    const size_t tableOffset = file.headerSize;
    const size_t tableEnd = tableOffset + kSectionEntrySize * file.sections.size();
    if (out.size() < tableEnd) out.resize(tableEnd, 0);

    for (size_t s = 0; s < file.sections.size(); ++s) {
        const BglSection& section = file.sections[s];
        BglLayout::Section placed;
        placed.entryOffset = checkedSize(tableOffset + kSectionEntrySize * s);
        placed.subsectionTableOffset = checkedSize(out.size());
        out.resize(out.size() + kSubsectionEntrySize * section.subsections.size(), 0);

        for (size_t j = 0; j < section.subsections.size(); ++j) {
            const BglSubsection& sub = section.subsections[j];
            BglLayout::Subsection where;
            where.entryOffset = checkedSize(placed.subsectionTableOffset + kSubsectionEntrySize * j);
            where.firstRecordOffset = checkedSize(out.size());
            for (const Record& record : sub.records) {
                where.recordOffsets.push_back(checkedSize(out.size()));
                Bytes bytes = encodeRecord(record);
                out.insert(out.end(), bytes.begin(), bytes.end());
            }
            where.size = checkedSize(out.size() - where.firstRecordOffset);
            setU32(out, where.entryOffset + 0, sub.cell);
            setU32(out, where.entryOffset + 4, sub.recordCount.value_or(checkedSize(sub.records.size())));
            setU32(out, where.entryOffset + 8, sub.firstRecordOffset.value_or(where.firstRecordOffset));
            setU32(out, where.entryOffset + 12, sub.size.value_or(where.size));
            placed.subsections.push_back(std::move(where));
        }

        setU32(out, placed.entryOffset + 0, section.type);
        setU32(out, placed.entryOffset + 4, 1);
        setU32(out, placed.entryOffset + 8,
               section.subsectionCount.value_or(checkedSize(section.subsections.size())));
        setU32(out, placed.entryOffset + 12,
               section.subsectionTableOffset.value_or(placed.subsectionTableOffset));
        setU32(out, placed.entryOffset + 16, checkedSize(kSubsectionEntrySize * section.subsections.size()));
        layout.sections.push_back(std::move(placed));
    }

    if (file.truncateTo && *file.truncateTo < out.size()) out.resize(*file.truncateTo);
    return layout;
}

Bytes buildBgl(const BglFile& file) {
    return layoutBgl(file).bytes;
}

SceneryDatLayout layoutSceneryDat(const SceneryDat& dat) {
    SceneryDatLayout layout;
    Bytes& out = layout.bytes;
    const uint32_t count = dat.entryCount.value_or(checkedSize(dat.entries.size()));
    const size_t slots = count > dat.entries.size() ? count : dat.entries.size();
    out.assign(kSceneryDatHeaderSize + 4 * slots, 0);
    setU32(out, 32, count);
    out[37] = static_cast<uint8_t>((dat.holdsAirports ? kHoldsAirports : 0) | dat.otherLayerFlags);

    std::vector<size_t> order = dat.fileOrder;
    if (order.empty())
        for (size_t i = 0; i < dat.entries.size(); ++i)
            order.push_back(i);

    layout.entryOffsets.assign(dat.entries.size(), 0);
    for (size_t index : order) {
        if (index >= dat.entries.size()) continue;
        const SceneryDatEntry& entry = dat.entries[index];
        Bytes name(entry.name.begin(), entry.name.end());
        if (entry.terminate) name.push_back(0);
        if (entry.nameLength && *entry.nameLength > name.size() && *entry.nameLength < (1u << 20))
            name.resize(*entry.nameLength, 0);

        const size_t at = out.size();
        layout.entryOffsets[index] = checkedSize(at);
        out.resize(at + kSceneryDatEntryFixedSize, 0);
        setU32(out, at + 0, checkedSize(kSceneryDatEntryFixedSize + name.size()));
        out[at + 9] = static_cast<uint8_t>((entry.holdsAirports ? kHoldsAirports : 0) | entry.otherFlags);
        setU32(out, at + 88, entry.nameLength.value_or(checkedSize(name.size())));
        out.insert(out.end(), name.begin(), name.end());
    }

    for (size_t slot = 0; slot < slots; ++slot) {
        uint32_t offset = slot < layout.entryOffsets.size() ? layout.entryOffsets[slot] : 0;
        auto overridden = dat.offsetOverrides.find(slot);
        if (overridden != dat.offsetOverrides.end()) offset = overridden->second;
        setU32(out, kSceneryDatHeaderSize + 4 * slot, offset);
    }

    if (dat.truncateTo && *dat.truncateTo < out.size()) out.resize(*dat.truncateTo);
    return layout;
}

Bytes buildSceneryDat(const SceneryDat& dat) {
    return layoutSceneryDat(dat).bytes;
}

}  // namespace sceneryw
