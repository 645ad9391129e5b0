// Low-level builders for the simulator's scenery files: records and subrecords, BGL files and layer
// index files (scenery.dat), with every count, size and offset open to override. Tests use them to
// write files that are broken in exactly one way; the library writer (scenery_writer.h) uses them to
// write well-formed ones.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sceneryw {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBglMagic = 0x19920201;
constexpr uint32_t kBglHeaderSize = 56;
constexpr uint32_t kSectionEntrySize = 20;
constexpr uint32_t kSubsectionEntrySize = 16;
constexpr uint32_t kRecordHeaderSize = 6;
constexpr uint32_t kAirportFixedSize = 52;  // the airport record up to its first subrecord
constexpr uint32_t kRunwaySubrecordSize = 52;

constexpr uint32_t kSectionAirport = 3;
constexpr uint16_t kRecordAirport = 0x0003;
constexpr uint16_t kSubrecordRunway = 0x0004;
constexpr uint16_t kSubrecordCom = 0x0012;
constexpr uint16_t kSubrecordName = 0x0019;
constexpr uint16_t kSubrecordDeleteAirport = 0x0033;
constexpr uint16_t kComTower = 6;

constexpr uint8_t kDeleteAllRunways = 0x20;
constexpr uint8_t kDeleteAllFrequencies = 0x08;

constexpr uint32_t kSceneryDatHeaderSize = 108;  // the entry offset table starts here
constexpr uint32_t kSceneryDatEntryFixedSize = 92;
constexpr uint8_t kHoldsAirports = 0x20;

// Raw tower coordinates that read back as exactly 0.0 degrees: "no tower position given".
constexpr uint32_t kNoTowerLatitude = 268435456;
constexpr uint32_t kNoTowerLongitude = 402653184;

// --- Encodings, exactly as the reader decodes them ---------------------------------------------------

// (90 - lat) * 2^29 / 180, rounded to the nearest integer and clamped to 32 bits.
uint32_t encodeLatitude(double degrees);
// (lon + 180) * 3 * 2^28 / 360, rounded to the nearest integer and clamped to 32 bits.
uint32_t encodeLongitude(double degrees);
// Metres to millimetres, rounded; negative heights wrap as the unsigned field holds them.
uint32_t encodeAltitude(double metres);
// MHz to Hz, rounded.
uint32_t encodeFrequencyHz(double megahertz);

// The packed identifier: five base-38 digits (0 and 1 blank, 2-11 '0'-'9', 12-37 'A'-'Z'), the first
// character in the highest digit, shifted left by 5. `lowBits` fills the 5 bits the reader ignores.
uint32_t packIdentDigits(const std::array<uint8_t, 5>& digits, uint32_t lowBits = 0);
// An identifier of at most 5 characters from 0-9, A-Z (lower case is taken as upper case) and blank,
// right-aligned: "AB1" packs as the digits 0, 0, 12, 13, 3. Nullopt for anything else.
std::optional<uint32_t> packIdent(std::string_view ident);

// --- Records ----------------------------------------------------------------------------------------

// A record or subrecord: the 6-byte header (u16 id, u32 size) followed by `body`.
struct Record {
    uint16_t id = 0;
    Bytes body;                         // everything after the header
    std::optional<uint32_t> sizeField;  // the size written in the header; default 6 + body.size()
};

// The header and body; always 6 + body.size() bytes, whatever the size field says.
Bytes encodeRecord(const Record& record);

struct RunwayFields {
    uint16_t surface = 0;
    uint8_t primaryNumber = 0;
    uint8_t primaryDesignator = 0;
    uint8_t secondaryNumber = 0;
    uint8_t secondaryDesignator = 0;
    uint32_t longitude = kNoTowerLongitude;  // raw, runway centre
    uint32_t latitude = kNoTowerLatitude;    // raw, runway centre
    uint32_t altitudeMm = 0;
    float lengthM = 0;
    float widthM = 0;
    float heading = 0;
};
// The 52-byte runway subrecord (id 0x0004).
Record runwaySubrecord(const RunwayFields& runway);

// A COM subrecord (id 0x0012): type at 6, frequency in Hz at 8, then the NUL-terminated name.
Record comSubrecord(uint16_t type, uint32_t frequencyHz, std::string_view name = {});

// A name subrecord (id 0x0019): the text, followed by a NUL when `terminate` is set.
Record nameSubrecord(std::string_view text, bool terminate = true);

// One runway deletion key, laid out as the first four bytes of a runway in the reader.
struct RunwayKey {
    uint8_t surface = 0;
    uint8_t primaryNumber = 0;
    uint8_t secondaryNumber = 0;
    uint8_t designators = 0;  // secondary designator << 4 | primary designator
};

struct DeleteAirportFields {
    uint8_t flags = 0;                  // kDeleteAllRunways, kDeleteAllFrequencies, other bits
    std::vector<RunwayKey> runways;     // R keys
    std::vector<uint32_t> stepped;      // S entries the reader steps over
    std::vector<uint32_t> frequencies;  // F entries; see deleteFrequencyEntry
    // The counts written at offsets 8, 9 and 10; default the sizes of the lists above.
    std::optional<uint8_t> runwayCount;
    std::optional<uint8_t> steppedCount;
    std::optional<uint8_t> frequencyCount;
};
// A DeleteAirport subrecord (id 0x0033): 12 bytes, then the keys and entries.
Record deleteAirportSubrecord(const DeleteAirportFields& fields);
// A frequency deletion entry: the COM type in bits 28 to 31, the frequency in Hz in bits 0 to 27.
uint32_t deleteFrequencyEntry(uint16_t type, uint32_t frequencyHz);

// A subrecord of another kind (taxiway points, parking, ...): `bodyBytes` of deterministic filler.
Record opaqueSubrecord(uint16_t id, size_t bodyBytes, uint32_t seed = 0);

struct AirportFields {
    uint8_t runwayCount = 0;
    uint32_t longitude = 0;  // raw
    uint32_t latitude = 0;   // raw
    uint32_t altitudeMm = 0;
    uint32_t towerLongitude = kNoTowerLongitude;
    uint32_t towerLatitude = kNoTowerLatitude;
    uint32_t towerAltitudeMm = 0;
    uint32_t packedIdent = 0;
};
// An airport record (id 0x0003): the 52-byte fixed part followed by `subrecords` back to back.
Record airportRecord(const AirportFields& fields, const std::vector<Record>& subrecords);

// --- BGL files --------------------------------------------------------------------------------------

struct BglSubsection {
    std::vector<Record> records;                // written back to back
    uint32_t cell = 0;                          // the entry's first field, which the reader ignores
    std::optional<uint32_t> recordCount;        // default records.size()
    std::optional<uint32_t> firstRecordOffset;  // default where the records are written
    std::optional<uint32_t> size;               // default the bytes of the records
};

struct BglSection {
    uint32_t type = kSectionAirport;
    std::vector<BglSubsection> subsections;
    std::optional<uint32_t> subsectionCount;        // default subsections.size()
    std::optional<uint32_t> subsectionTableOffset;  // default where the table is written
};

struct BglFile {
    uint32_t magic = kBglMagic;
    uint32_t headerSize = kBglHeaderSize;  // written at offset 4; the section table starts there
    std::optional<uint32_t> sectionCount;  // default sections.size()
    std::vector<BglSection> sections;
    std::optional<size_t> truncateTo;  // cut the finished file to this many bytes
};

// Where everything of a built BGL file went (file offsets), for tests that check offsets in log lines.
struct BglLayout {
    struct Subsection {
        uint32_t entryOffset = 0;  // the subsection table entry
        uint32_t firstRecordOffset = 0;
        uint32_t size = 0;
        std::vector<uint32_t> recordOffsets;
    };
    struct Section {
        uint32_t entryOffset = 0;  // the section table entry
        uint32_t subsectionTableOffset = 0;
        std::vector<Subsection> subsections;
    };
    Bytes bytes;
    std::vector<Section> sections;
};

// Layout: the header (headerSize bytes, at least 24), the section table, then per section its
// subsection table followed by the records of each subsection. Overrides change only the fields
// written, never where things go, so structures may point anywhere, past the end included.
BglLayout layoutBgl(const BglFile& file);
Bytes buildBgl(const BglFile& file);

// --- Layer index files (scenery.dat) ----------------------------------------------------------------

struct SceneryDatEntry {
    std::string name;                    // the BGL file's path without ".bgl", as written
    bool holdsAirports = true;           // bit 0x20 of the flags at entry offset 9
    uint8_t otherFlags = 0;              // further bits of that byte
    bool terminate = true;               // write a NUL after the name
    std::optional<uint32_t> nameLength;  // written at offset 88; default the bytes of the name field
    // The name field holds the name, its NUL, and zeros up to nameLength when that is longer.
};

struct SceneryDat {
    bool holdsAirports = true;  // bit 0x20 of the layer flags at offset 37
    uint8_t otherLayerFlags = 0;
    std::vector<SceneryDatEntry> entries;        // in processing order: the offset table's order
    std::vector<size_t> fileOrder;               // order of the entries in the file; default the same
    std::optional<uint32_t> entryCount;          // written at offset 32; default entries.size()
    std::map<size_t, uint32_t> offsetOverrides;  // offset table slot -> value written instead
    std::optional<size_t> truncateTo;
};

struct SceneryDatLayout {
    Bytes bytes;
    std::vector<uint32_t> entryOffsets;  // file offset of each entry, in processing order
};

// Layout: the 108-byte header, the offset table (max(entryCount, entries) slots; slots without an
// entry hold 0 unless overridden), then the entries in file order.
SceneryDatLayout layoutSceneryDat(const SceneryDat& dat);
Bytes buildSceneryDat(const SceneryDat& dat);

}  // namespace sceneryw
