#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/bytes.h"
#include "scenery_writer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

using namespace sceneryw;

ByteView view(const Bytes& bytes) {
    return ByteView{bytes.data(), bytes.size()};
}

uint32_t u32(const Bytes& bytes, size_t offset) {
    uint32_t value = 0;
    EXPECT_TRUE(readU32(view(bytes), offset, value)) << offset;
    return value;
}

uint16_t u16(const Bytes& bytes, size_t offset) {
    uint16_t value = 0;
    EXPECT_TRUE(readU16(view(bytes), offset, value)) << offset;
    return value;
}

float f32(const Bytes& bytes, size_t offset) {
    float value = 0;
    EXPECT_TRUE(readF32(view(bytes), offset, value)) << offset;
    return value;
}

// The reader's conversions.
double latitudeOf(uint32_t raw) {
    return 90.0 - raw * 3.3527612686157227e-07;
}
double longitudeOf(uint32_t raw) {
    return raw * 4.470348358154297e-07 - 180.0;
}

TEST(SceneryEncoding, CoordinatesRoundTripThroughTheReadersConversion) {
    EXPECT_EQ(encodeLatitude(0.0), kNoTowerLatitude);
    EXPECT_EQ(encodeLongitude(0.0), kNoTowerLongitude);
    EXPECT_EQ(latitudeOf(kNoTowerLatitude), 0.0);
    EXPECT_EQ(longitudeOf(kNoTowerLongitude), 0.0);
    EXPECT_EQ(encodeLatitude(90.0), 0u);
    EXPECT_EQ(encodeLatitude(-90.0), 1u << 29);
    EXPECT_EQ(encodeLongitude(-180.0), 0u);
    EXPECT_EQ(encodeLongitude(180.0), 3u << 28);
    for (double lat : {37.619806, -33.946111, 0.5, -89.999}) {
        uint32_t raw = encodeLatitude(lat);
        EXPECT_LE(std::fabs(latitudeOf(raw) - lat), 3.3527612686157227e-07 / 2 + 1e-12) << lat;
    }
    for (double lon : {-122.374821, 151.177222, -0.0001, 179.9999}) {
        uint32_t raw = encodeLongitude(lon);
        EXPECT_LE(std::fabs(longitudeOf(raw) - lon), 4.470348358154297e-07 / 2 + 1e-12) << lon;
    }
    EXPECT_EQ(encodeAltitude(4.0), 4000u);
    EXPECT_EQ(encodeAltitude(-1.0), 0xFFFFFC18u);
    EXPECT_EQ(encodeFrequencyHz(118.7), 118700000u);
    EXPECT_EQ(encodeFrequencyHz(121.725), 121725000u);
}

TEST(SceneryEncoding, PackedIdentifiers) {
    EXPECT_EQ(packIdent("AB1"), 570400u);  // 17825 << 5: digits 0, 0, 12, 13, 3
    EXPECT_EQ(packIdentDigits({0, 0, 12, 13, 3}), 570400u);
    EXPECT_EQ(packIdentDigits({0, 0, 12, 13, 3}, 31), 570431u);
    EXPECT_EQ(packIdent("ab1"), 570400u);
    EXPECT_EQ(packIdent(""), 0u);
    EXPECT_EQ(packIdent("ZZZZZ"), ((((37u * 38 + 37) * 38 + 37) * 38 + 37) * 38 + 37) << 5);
    EXPECT_EQ(packIdent("A B"), packIdentDigits({0, 0, 12, 0, 13}));
    EXPECT_FALSE(packIdent("KSFOX1"));
    EXPECT_FALSE(packIdent("US-12"));
}

// The smallest complete file: header, one section entry at 56, its subsection table at 76, the
// record at 92.
TEST(BglBuilder, SmallestCompleteFileLayout) {
    AirportFields fields;
    fields.packedIdent = *packIdent("AB1");
    BglFile file;
    file.sections.push_back(BglSection{});
    file.sections[0].subsections.push_back(BglSubsection{});
    file.sections[0].subsections[0].records.push_back(airportRecord(fields, {}));
    BglLayout layout = layoutBgl(file);
    const Bytes& b = layout.bytes;

    ASSERT_EQ(b.size(), 92u + kAirportFixedSize);
    EXPECT_EQ(u32(b, 0), kBglMagic);
    EXPECT_EQ(u32(b, 4), 56u);
    EXPECT_EQ(u32(b, 20), 1u);
    EXPECT_EQ(u32(b, 56), 3u);   // type
    EXPECT_EQ(u32(b, 64), 1u);   // subsection count
    EXPECT_EQ(u32(b, 68), 76u);  // subsection table
    EXPECT_EQ(u32(b, 80), 1u);   // record count
    EXPECT_EQ(u32(b, 84), 92u);  // first record
    EXPECT_EQ(u32(b, 88), kAirportFixedSize);
    EXPECT_EQ(u16(b, 92), kRecordAirport);
    EXPECT_EQ(u32(b, 94), kAirportFixedSize);
    EXPECT_EQ(u32(b, 92 + 40), 570400u);
    EXPECT_EQ(layout.sections[0].entryOffset, 56u);
    EXPECT_EQ(layout.sections[0].subsectionTableOffset, 76u);
    EXPECT_EQ(layout.sections[0].subsections[0].recordOffsets, std::vector<uint32_t>{92});
}

TEST(BglBuilder, OverridesChangeFieldsButNotPlacement) {
    BglFile file;
    file.headerSize = 64;
    file.sectionCount = 0;
    BglSection other;
    other.type = 0x13;
    other.subsections.emplace_back();
    other.subsections[0].records.push_back(opaqueSubrecord(0x13, 10));
    BglSection airports;
    BglSubsection sub;
    sub.records = {Record{0x0003, Bytes(46, 0), 0}, Record{0x0022, Bytes(4, 1), std::nullopt}};
    sub.recordCount = 5;
    sub.size = 3;
    airports.subsections.push_back(sub);
    airports.subsections.push_back(BglSubsection{});
    airports.subsections[1].firstRecordOffset = 0xFFFFFFF0u;
    airports.subsectionTableOffset = 100000;
    file.sections = {other, airports};
    BglLayout layout = layoutBgl(file);
    const Bytes& b = layout.bytes;

    EXPECT_EQ(u32(b, 4), 64u);
    EXPECT_EQ(u32(b, 20), 0u);
    EXPECT_EQ(layout.sections[0].entryOffset, 64u);
    EXPECT_EQ(u32(b, 64), 0x13u);
    EXPECT_EQ(u32(b, 84), 3u);
    EXPECT_EQ(u32(b, 84 + 12), 100000u);
    const auto& placed = layout.sections[1].subsections;
    EXPECT_EQ(u32(b, placed[0].entryOffset + 4), 5u);
    EXPECT_EQ(u32(b, placed[0].entryOffset + 12), 3u);
    EXPECT_EQ(u32(b, placed[1].entryOffset + 8), 0xFFFFFFF0u);
    // The record whose size field says 0 still occupies its real bytes; the foreign one follows.
    EXPECT_EQ(u32(b, placed[0].recordOffsets[0] + 2), 0u);
    EXPECT_EQ(placed[0].recordOffsets[1], placed[0].recordOffsets[0] + 52);
    EXPECT_EQ(u16(b, placed[0].recordOffsets[1]), 0x0022);

    file.truncateTo = 70;
    EXPECT_EQ(buildBgl(file).size(), 70u);
    file.truncateTo = 0;
    EXPECT_TRUE(buildBgl(file).empty());
}

TEST(BglBuilder, AirportRecordAndSubrecordFields) {
    AirportDef airport;
    airport.ident = "KSFO";
    airport.name = std::string(40, 'N');
    airport.latitude = 37.5;
    airport.longitude = -122.25;
    airport.elevationM = 4;
    airport.tower = TowerPosition{37.6, -122.3, 40.5};
    Runway runway;
    runway.latitude = 37.61;
    runway.longitude = -122.37;
    runway.lengthM = 3618;
    runway.headingDeg = 298;
    runway.surface = 4;
    runway.primaryNumber = 28;
    runway.primaryDesignator = 1;
    runway.secondaryNumber = 10;
    runway.secondaryDesignator = 2;
    airport.runways = {runway};
    airport.frequencies = {{120.5, kComTower, ""}, {113.7, 1, "ATIS"}};
    airport.deletion = Deletion{true, false, {runway.key()}, {{118.7, kComTower, ""}}};
    airport.fillerBytes = 9000;
    Bytes b = encodeRecord(encodeAirport(airport));

    EXPECT_EQ(u16(b, 0), kRecordAirport);
    EXPECT_EQ(u32(b, 2), b.size());
    EXPECT_EQ(b[6], 1);
    EXPECT_EQ(u32(b, 12), encodeLongitude(-122.25));
    EXPECT_EQ(u32(b, 16), encodeLatitude(37.5));
    EXPECT_EQ(u32(b, 20), 4000u);
    EXPECT_EQ(u32(b, 24), encodeLongitude(-122.3));
    EXPECT_EQ(u32(b, 28), encodeLatitude(37.6));
    EXPECT_EQ(u32(b, 32), 40500u);
    EXPECT_EQ(u32(b, 40), *packIdent("KSFO"));

    // Walk the subrecords as a reader does; they must add up to the record exactly.
    size_t at = kAirportFixedSize;
    std::vector<uint16_t> ids;
    size_t filler = 0;
    while (at < b.size()) {
        uint16_t id = u16(b, at);
        uint32_t size = u32(b, at + 2);
        ASSERT_GE(size, 6u);
        ids.push_back(id);
        if (id == kSubrecordName) {
            EXPECT_EQ(size, 6u + 40 + 1);
            EXPECT_EQ(b[at + 6 + 40], 0);
        } else if (id == kSubrecordRunway) {
            EXPECT_EQ(size, kRunwaySubrecordSize);
            EXPECT_EQ(u16(b, at + 6), 4);
            EXPECT_EQ(b[at + 8], 28);
            EXPECT_EQ(b[at + 9], 1);
            EXPECT_EQ(b[at + 10], 10);
            EXPECT_EQ(b[at + 11], 2);
            EXPECT_EQ(u32(b, at + 20), encodeLongitude(-122.37));
            EXPECT_EQ(u32(b, at + 24), encodeLatitude(37.61));
            EXPECT_EQ(f32(b, at + 32), 3618.0f);
            EXPECT_EQ(f32(b, at + 40), 298.0f);
        } else if (id == kSubrecordDeleteAirport) {
            EXPECT_EQ(size, 12u + 4 + 4);
            EXPECT_EQ(b[at + 6], kDeleteAllRunways);
            EXPECT_EQ(b[at + 8], 1);
            EXPECT_EQ(b[at + 9], 0);
            EXPECT_EQ(b[at + 10], 1);
            // The key is laid out as the reader's runway node: surface, numbers, designators.
            EXPECT_EQ(u32(b, at + 12), 4u | (28u << 8) | (10u << 16) | (0x21u << 24));
            EXPECT_EQ(u32(b, at + 16), (6u << 28) | 118700000u);
        } else if (id == kSubrecordCom) {
            if (u16(b, at + 6) == kComTower) {
                EXPECT_EQ(u32(b, at + 8), 120500000u);
            }
        } else {
            filler += size;
        }
        at += size;
    }
    EXPECT_EQ(at, b.size());
    EXPECT_EQ(filler, 9000u);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), kSubrecordCom), 2);

    // Without a tower the raw values read back as 0.0 degrees and no altitude.
    airport.tower.reset();
    b = encodeRecord(encodeAirport(airport));
    EXPECT_EQ(u32(b, 24), kNoTowerLongitude);
    EXPECT_EQ(u32(b, 28), kNoTowerLatitude);
    EXPECT_EQ(u32(b, 32), 0u);
}

TEST(BglBuilder, SubrecordKnobs) {
    EXPECT_EQ(encodeRecord(nameSubrecord("Oakland", false)).size(), 13u);
    Record zero = opaqueSubrecord(0x0040, 0);
    zero.sizeField = 0;
    EXPECT_EQ(encodeRecord(zero), (Bytes{0x40, 0, 0, 0, 0, 0}));
    DeleteAirportFields del;
    del.flags = kDeleteAllFrequencies;
    del.frequencyCount = 9;  // more than it holds
    Bytes b = encodeRecord(deleteAirportSubrecord(del));
    EXPECT_EQ(b.size(), 12u);
    EXPECT_EQ(b[10], 9);
    EXPECT_EQ(deleteFrequencyEntry(6, 118700000), (6u << 28) | 118700000u);
    EXPECT_EQ(deleteFrequencyEntry(0x1F, 0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(SceneryDatBuilder, TableOrderFileOrderAndNameFields) {
    SceneryDat dat;
    dat.entries.resize(2);
    dat.entries[0].name = "Scenery\\World\\scenery\\A";
    dat.entries[1].name = "B";
    dat.entries[1].holdsAirports = false;
    dat.entries[1].nameLength = 40;
    dat.fileOrder = {1, 0};
    SceneryDatLayout layout = layoutSceneryDat(dat);
    const Bytes& b = layout.bytes;

    EXPECT_EQ(u32(b, 32), 2u);
    EXPECT_EQ(b[37], kHoldsAirports);
    EXPECT_EQ(u32(b, 108), layout.entryOffsets[0]);
    EXPECT_EQ(u32(b, 112), layout.entryOffsets[1]);
    EXPECT_EQ(layout.entryOffsets[1], 116u);  // placed first, listed second
    EXPECT_EQ(layout.entryOffsets[0], 116u + 92 + 40);
    EXPECT_EQ(b[layout.entryOffsets[1] + 9], 0);
    EXPECT_EQ(u32(b, layout.entryOffsets[1] + 88), 40u);
    EXPECT_EQ(b[layout.entryOffsets[0] + 9], kHoldsAirports);
    const std::string name = "Scenery\\World\\scenery\\A";
    EXPECT_EQ(u32(b, layout.entryOffsets[0] + 88), name.size() + 1);
    EXPECT_EQ(std::string(b.begin() + layout.entryOffsets[0] + 92, b.end() - 1), name);
    EXPECT_EQ(b.back(), 0);

    dat.holdsAirports = false;
    dat.entryCount = 3;
    dat.offsetOverrides[2] = 0x7FFFFFFF;
    dat.entries[0].terminate = false;
    dat.entries[0].nameLength = 4;  // shorter than the name: the whole name is still written
    layout = layoutSceneryDat(dat);
    EXPECT_EQ(layout.bytes[37], 0);
    EXPECT_EQ(u32(layout.bytes, 32), 3u);
    EXPECT_EQ(u32(layout.bytes, 116), 0x7FFFFFFFu);
    EXPECT_EQ(layout.bytes.size(), 108u + 12 + 92 + 40 + 92 + name.size());
}

TEST(SceneryLibraryWriter, WritesConfigurationIndexesAndFiles) {
    TempDir dir;
    LibraryDef library;
    AreaDef world;
    world.local = "Scenery\\World";
    world.layer = 1;
    BglFileDef apx;
    apx.name = "APX1";
    apx.airports.resize(2);
    apx.airports[0].ident = "KSFO";
    apx.airports[0].latitude = 37.6;
    apx.airports[0].longitude = -122.4;
    apx.airports[1].ident = "YSSY";
    apx.airports[1].latitude = -33.9;
    apx.airports[1].longitude = 151.2;
    BglFileDef obj;
    obj.name = "OBJ1";
    world.files = {apx, obj};
    world.files[1].holdsAirports = false;
    AreaDef addon;
    addon.number = 7;
    addon.local = sceneryw::programPath(dir.path() / "Elsewhere" / "Addon");
    addon.layer = 9;
    addon.absoluteNames = true;
    addon.active = "FALSE";
    addon.files.emplace_back();
    addon.files[0].name = "X";
    library.areas = {world, addon};
    WriteStats stats;
    std::string error;
    ASSERT_TRUE(writeSceneryLibrary(dir.path(), library, error, &stats)) << error;
    EXPECT_EQ(stats.areas, 2u);
    EXPECT_EQ(stats.files, 3u);
    EXPECT_EQ(stats.airports, 2u);

    std::string cfg = readFile(dir.path() / "scenery.cfg");
    EXPECT_NE(cfg.find("[Area.001]\r\nTitle=World\r\nLocal=Scenery\\World\r\nLayer=1\r\nActive=TRUE\r\n"),
              std::string::npos)
        << cfg;
    EXPECT_NE(
        cfg.find("[Area.007]\r\nTitle=Addon\r\nLocal=" + addon.local + "\r\nLayer=9\r\nActive=FALSE\r\n"),
        std::string::npos);

    std::string datText = readFile(dir.path() / "Scenery" / "World" / "scenery.dat");
    Bytes dat(datText.begin(), datText.end());
    ASSERT_EQ(u32(dat, 32), 2u);
    uint32_t first = u32(dat, 108);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dat[first + 92])), "Scenery\\World\\scenery\\APX1");
    EXPECT_EQ(dat[u32(dat, 112) + 9], 0);

    // Two airports in different 10-degree cells go to two subsections.
    std::string bglText = readFile(dir.path() / "Scenery" / "World" / "scenery" / "APX1.bgl");
    Bytes bgl(bglText.begin(), bglText.end());
    EXPECT_EQ(u32(bgl, 56 + 8), 2u);

    std::string addonDat = readFile(dir.path() / "Elsewhere" / "Addon" / "scenery.dat");
    Bytes addonBytes(addonDat.begin(), addonDat.end());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&addonBytes[u32(addonBytes, 108) + 92])),
              sceneryw::programPath(dir.path() / "Elsewhere" / "Addon" / "scenery" / "X"));
}

const char kHeader[] =
    "area,layer,file,ident,name,latitude,longitude,elevation,tower_latitude,tower_longitude,tower_altitude,"
    "runways,frequencies,deletions\n";

TEST(AirportCsv, ParsesEveryColumn) {
    std::string text = std::string("# comment\r\n") + kHeader +
                       "Scenery\\World,1,APX1,KSFO,\"San Francisco, \"\"Intl\"\"\",37.6,-122.4,4,,,,"
                       "28L/10R:37.61:-122.37:3618:298:61:4;1/19:37.6:-122.38:2000:10,120.5;113.7/1,\r\n"
                       "Addon\\Bay,5,BAY,KSFO,SFO,37.6,-122.4,4,37.61,-122.38,30.5,,,"
                       "runways;frequencies;runway=28L/10R:4;frequency=120.5;frequency=121.8/5\n"
                       "Scenery\\World,1,APX1,KOAK,Oakland,37.7,-122.2,3,,,,,,\n";
    LibraryDef library;
    std::string error;
    CsvOptions options;
    options.fillerBytesPerRunway = 100;
    ASSERT_TRUE(parseAirportCsv(text, options, library, error)) << error;
    ASSERT_EQ(library.areas.size(), 2u);
    const AreaDef& world = library.areas[0];
    EXPECT_EQ(world.local, "Scenery\\World");
    EXPECT_EQ(world.layer, 1);
    ASSERT_EQ(world.files.size(), 1u);
    ASSERT_EQ(world.files[0].airports.size(), 2u);
    const AirportDef& sfo = world.files[0].airports[0];
    EXPECT_EQ(sfo.name, "San Francisco, \"Intl\"");
    EXPECT_FALSE(sfo.tower);
    ASSERT_EQ(sfo.runways.size(), 2u);
    EXPECT_EQ(sfo.runways[0].primaryNumber, 28);
    EXPECT_EQ(sfo.runways[0].primaryDesignator, 1);
    EXPECT_EQ(sfo.runways[0].secondaryNumber, 10);
    EXPECT_EQ(sfo.runways[0].secondaryDesignator, 2);
    EXPECT_EQ(sfo.runways[0].lengthM, 3618);
    EXPECT_EQ(sfo.runways[0].widthM, 61);
    EXPECT_EQ(sfo.runways[0].surface, 4);
    EXPECT_EQ(sfo.runways[1].primaryNumber, 1);
    EXPECT_EQ(sfo.fillerBytes, 200u);
    ASSERT_EQ(sfo.frequencies.size(), 2u);
    EXPECT_EQ(sfo.frequencies[0].type, kComTower);
    EXPECT_EQ(sfo.frequencies[1].type, 1);
    EXPECT_EQ(world.files[0].airports[1].fillerBytes, 100u);

    const AirportDef& addon = library.areas[1].files[0].airports[0];
    ASSERT_TRUE(addon.tower);
    EXPECT_EQ(addon.tower->altitudeM, 30.5);
    ASSERT_TRUE(addon.deletion);
    EXPECT_TRUE(addon.deletion->allRunways);
    EXPECT_TRUE(addon.deletion->allFrequencies);
    ASSERT_EQ(addon.deletion->runways.size(), 1u);
    EXPECT_EQ(addon.deletion->runways[0].designators, 0x21);
    EXPECT_EQ(addon.deletion->runways[0].surface, 4);
    ASSERT_EQ(addon.deletion->frequencies.size(), 2u);
    EXPECT_EQ(addon.deletion->frequencies[1].type, 5);

    const Runway original = sfo.runways[0];
    ASSERT_TRUE(
        parseAirportCsv(std::string(kHeader) + "A,1,F,X,N,1,2,3,,,,\"" + formatCsvRunway(original) + "\",,\n",
                        {}, library, error))
        << error;
    const Runway back = library.areas[0].files[0].airports[0].runways[0];
    EXPECT_EQ(back.key().designators, original.key().designators);
    EXPECT_EQ(back.latitude, original.latitude);
    EXPECT_EQ(back.headingDeg, original.headingDeg);
    EXPECT_EQ(back.surface, original.surface);
}

TEST(AirportCsv, ErrorsNameTheLine) {
    struct Case {
        std::string rows;
        std::string error;
    } cases[] = {
        {"A,1,F,TOOLONG,N,1,2,3,,,,,,\n", "line 2: identifier"},
        {"A,1,F,K-1,N,1,2,3,,,,,,\n", "line 2: identifier"},
        {"A,1,F,K1,N,91,2,3,,,,,,\n", "line 2: bad latitude"},
        {"A,1,F,K1,N,1,2x,3,,,,,,\n", "line 2: bad longitude"},
        {"A,1,F,K1,N,1,2,3,5,,,,,\n", "line 2: a tower position"},
        {"A,1,F,K1,N,1,2,3,,,,28X/10:1:2:3:4,,\n", "line 2: bad runway"},
        {"A,1,F,K1,N,1,2,3,,,,,abc,\n", "line 2: bad frequency"},
        {"A,1,F,K1,N,1,2,3,,,,,,everything\n", "line 2: bad deletions"},
        {"A,1,F,K1,N,1,2,3,,,,,\n", "line 2: expected 14 fields"},
        {"A,1,F,K1,\"N,1,2,3,,,,,,\n", "line 2: unterminated"},
        {"A,1,F,K1,N,1,2,3,,,,,,\nA,2,F,K2,N,1,2,3,,,,,,\n", "line 3: area A was given another layer"},
        {",1,F,K1,N,1,2,3,,,,,,\n", "line 2: empty area"},
    };
    for (const Case& c : cases) {
        LibraryDef library;
        std::string error;
        EXPECT_FALSE(parseAirportCsv(kHeader + c.rows, {}, library, error)) << c.rows;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
    LibraryDef library;
    std::string error;
    EXPECT_FALSE(parseAirportCsv("area,layer\n", {}, library, error));
    EXPECT_FALSE(parseAirportCsv("", {}, library, error));
    EXPECT_EQ(error, "line 0: no header line");
}

TEST(AirportCsv, OtherSectionBytesLieAroundTheAirports) {
    LibraryDef library;
    std::string error;
    CsvOptions options;
    options.otherSectionBytesPerAirport = 10001;
    ASSERT_TRUE(parseAirportCsv(std::string(kHeader) + "A,1,F,K1,N,1,2,3,,,,,,\nA,1,F,K2,N,1,2,3,,,,,,\n",
                                options, library, error))
        << error;
    const BglFile bgl = bglFileFor(library.areas[0].files[0]);
    std::vector<uint32_t> types;
    size_t otherBytes = 0;
    for (const BglSection& section : bgl.sections) {
        types.push_back(section.type);
        if (section.type != kSectionAirport)
            for (const BglSubsection& sub : section.subsections)
                for (const Record& record : sub.records) otherBytes += encodeRecord(record).size();
    }
    EXPECT_EQ(types, (std::vector<uint32_t>{0x25, kSectionAirport, 0x13, 0x65}));
    EXPECT_EQ(otherBytes, 20002u);
}

TEST(SceneryTool, WritesALibraryFromACsvFile) {
    TempDir dir;
    writeFile(dir.path() / "airports.csv",
              std::string(kHeader) + "Scenery\\World,1,APX1,KSFO,San Francisco,37.6,-122.4,4,,,,,120.5,\n");
    ChildProcess tool;
    ASSERT_TRUE(tool.start(builtProgram("kestrel-scenery"),
                           {"--other-sections", dir.file("airports.csv"), dir.file("sim")},
                           dir.path().string()));
    int code = -1;
    ASSERT_TRUE(tool.waitForExit(60000, code));
    EXPECT_EQ(code, 0) << tool.errorOutput();
    EXPECT_NE(tool.output().find("1 areas, 1 files, 1 airport records"), std::string::npos) << tool.output();
    std::string bgl = readFile(dir.path() / "sim" / "Scenery" / "World" / "scenery" / "APX1.bgl");
    Bytes b(bgl.begin(), bgl.end());
    EXPECT_EQ(u32(b, 20), 2u);  // the airport section and one of another type
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "sim" / "scenery.cfg"));

    writeFile(dir.path() / "bad.csv", std::string(kHeader) + "A,1,F,K-1,N,1,2,3,,,,,,\n");
    ChildProcess bad;
    ASSERT_TRUE(bad.start(builtProgram("kestrel-scenery"), {dir.file("bad.csv"), dir.file("sim2")},
                          dir.path().string()));
    ASSERT_TRUE(bad.waitForExit(60000, code));
    EXPECT_EQ(code, 1);
    EXPECT_NE(bad.errorOutput().find("line 2: identifier"), std::string::npos) << bad.errorOutput();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "sim2"));
}

TEST(SceneryTool, Md5CommandPrintsLikeMd5sum) {
    TempDir dir;
    writeFile(dir.path() / "abc", "abc");
    ChildProcess tool;
    ASSERT_TRUE(tool.start(builtProgram("kestrel-scenery"), {"md5", dir.file("abc")}, dir.path().string()));
    int code = -1;
    ASSERT_TRUE(tool.waitForExit(60000, code));
    EXPECT_EQ(code, 0);
    std::string output = tool.output();
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());  // text mode on Windows
    EXPECT_EQ(output, "900150983cd24fb0d6963f7d28e17f72  " + dir.file("abc") + "\n");
}

}  // namespace
