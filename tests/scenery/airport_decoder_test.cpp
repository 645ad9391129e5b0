// The airport record decoder over records built in memory: new airports, merges, the deletions of a
// DeleteAirport subrecord, and records whose sizes do not add up.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "airportdb/airport_dump.h"
#include "airportdb/runway_lists.h"
#include "scenery/airport_decoder.h"
#include "scenery/import_fixtures.h"
#include "support/log_capture.h"

namespace {

using namespace sceneryw;

// One BGL file in memory with the records in one airport subsection.
struct MemoryBgl {
    BglLayout layout;
    ByteView view() const { return ByteView{layout.bytes.data(), layout.bytes.size()}; }
    uint32_t record(size_t i) const { return layout.sections[0].subsections[0].recordOffsets.at(i); }
};

MemoryBgl memoryBgl(const std::vector<Record>& records) {
    BglSubsection sub;
    sub.records = records;
    BglSection section;
    section.subsections = {sub};
    BglFile file;
    file.sections = {section};
    return MemoryBgl{layoutBgl(file)};
}

Runway runwayAt(double lat, double lon, uint8_t primary, uint8_t primaryDesignator, uint8_t secondary,
                uint8_t secondaryDesignator, double length = 3000, double heading = 280) {
    Runway r;
    r.latitude = lat;
    r.longitude = lon;
    r.primaryNumber = primary;
    r.primaryDesignator = primaryDesignator;
    r.secondaryNumber = secondary;
    r.secondaryDesignator = secondaryDesignator;
    r.lengthM = length;
    r.headingDeg = heading;
    return r;
}

Frequency mhz(double value, uint16_t type = kComTower) {
    Frequency f;
    f.megahertz = value;
    f.type = type;
    return f;
}

AirportDef airportDef(const std::string& ident, double lat, double lon) {
    AirportDef def;
    def.ident = ident;
    def.name = ident + " name";
    def.latitude = lat;
    def.longitude = lon;
    return def;
}

std::vector<uint16_t> slots(const Airport* a) {
    return std::vector<uint16_t>(a->towerCom, a->towerCom + kTowerComSlots);
}

std::vector<uint8_t> runwayNumbers(const Airport* a) {
    std::vector<uint8_t> numbers;
    for (const RunwayNode* r = runwayListHead(a); r; r = r->next)
        numbers.push_back(r->primaryNumber);
    return numbers;
}

class AirportDecoderTest : public ImportTest {
protected:
    // Decodes every record of `bgl` in order; returns the sum of the results.
    uint32_t decode(const MemoryBgl& bgl) {
        uint32_t added = 0;
        for (size_t i = 0; i < bgl.layout.sections[0].subsections[0].recordOffsets.size(); ++i)
            added += parseAirportRecord("test.bgl", bgl.view(), bgl.record(i));
        return added;
    }
    uint32_t decode(const std::vector<Record>& records) { return decode(memoryBgl(records)); }
};

TEST_F(AirportDecoderTest, NewAirportFromItsFixedPartAndSubrecords) {
    AirportDef def = airportDef("KSFO", 37.619806, -122.374821);
    def.name = "San Francisco";
    def.elevationM = 3.96;
    def.tower = TowerPosition{37.616, -122.385, 71.0};
    def.runways = {runwayAt(37.6209, -122.3752, 28, 1, 10, 2, 3618, 298),
                   runwayAt(37.6133, -122.3572, 1, 2, 19, 1, 2637, 28)};
    def.runways[0].surface = 0x0104;
    def.frequencies = {mhz(118.7), mhz(120.5, 5), mhz(118.7)};
    const MemoryBgl bgl = memoryBgl({encodeAirport(def)});

    LogCapture log(5);
    EXPECT_EQ(decode(bgl), 1u);

    Airport* a = lookupAirport("KSFO");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(airportCount(), 1u);
    EXPECT_STREQ(a->name, "San Francisco");
    EXPECT_EQ(a->runwayCount, 2);
    EXPECT_EQ(a->apLat, encodeLatitude(37.619806));
    EXPECT_EQ(a->apLon, encodeLongitude(-122.374821));
    EXPECT_EQ(a->apAlt, 3960);
    EXPECT_EQ(a->twrLat, encodeLatitude(37.616));
    EXPECT_EQ(a->twrLon, encodeLongitude(-122.385));
    EXPECT_EQ(a->twrAlt, 71000);
    // 118.700 MHz is code 1700; the repeat finds its slot, the ground frequency is not a tower one.
    EXPECT_EQ(slots(a), (std::vector<uint16_t>{1700, 0, 0, 0, 0, 0, 0, 0}));
    // Newest runway first, with the designators packed secondary-high, primary-low.
    const RunwayNode* head = runwayListHead(a);
    ASSERT_NE(head, nullptr);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(head->primaryNumber, 1);
    EXPECT_EQ(head->secondaryNumber, 19);
    EXPECT_EQ(head->designators, 0x12);
    const RunwayNode* first = head->next;
    EXPECT_EQ(first->surface, 0x04);
    EXPECT_EQ(first->designators, 0x21);
    EXPECT_EQ(first->lat, encodeLatitude(37.6209));
    EXPECT_EQ(first->lon, encodeLongitude(-122.3752));
    EXPECT_FLOAT_EQ(first->lengthM, 3618.0f);
    EXPECT_FLOAT_EQ(first->heading, 298.0f);
    EXPECT_EQ(first->next, nullptr);

    EXPECT_EQ(spatialIndexFlush(), 1);
    EXPECT_NE(spatialIndex.spatialIndexRoot, nullptr);
    EXPECT_EQ(progressState.airportsFound, 1u);

    char subrecordLine[80];
    std::snprintf(subrecordLine, sizeof subrecordLine,
                  "airport subrecord at offset %08X is of type 0019, size %d\r\n", bgl.record(0) + 52,
                  6 + 14);
    const std::string expected[] = {
        subrecordLine,
        "Name subrecord yielded airport name: San Francisco\r\n",
        "Found runway at (37.620900,-122.375200), heading 298.000000, length 3618.000000 meters at KSFO\r\n",
        "Found tower COM #0 at 118.700\r\n",
        "Ignoring COM subrecord because type is 5, not tower (6)\r\n",
        "Found tower COM #0 at 118.700\r\n",
        "KSFO\tSan Francisco: AP @(37.619806, -122.374821, 3.960000), 2 rwys (F); TWR @(37.616000",
    };
    size_t at = 0;
    for (const std::string& line : expected) {
        size_t found = log.text().find(line, at);
        ASSERT_NE(found, std::string::npos) << line << "\n" << log.text();
        at = found + line.size();
    }
    EXPECT_EQ(log.text().find("specified a size"), std::string::npos);
}

TEST_F(AirportDecoderTest, AltitudesBelowSeaLevelKeepTheirSign) {
    AirportDef def = airportDef("EHAM", 52.3086, 4.7639);
    def.elevationM = -3.0;  // stored as 0xFFFFF448
    def.tower = TowerPosition{52.3, 4.77, -1.5};
    LogCapture log(4);
    ASSERT_EQ(decode({encodeAirport(def)}), 1u);
    EXPECT_TRUE(
        log.contains("AP @(52.308600, 4.763900, -3.000000), 0 rwys (nf); TWR @(52.300000, 4.770000, "
                     "-1.500000)"));
}

TEST_F(AirportDecoderTest, PackedIdentifiers) {
    auto decoded = [](uint32_t packed) {
        char ident[7] = {};
        decodeIdent(packed, ident);
        return std::string(ident);
    };
    EXPECT_EQ(decoded(570400), "AB1");       // digits 0, 0, 12, 13, 3
    EXPECT_EQ(decoded(570400 | 31), "AB1");  // the low 5 bits never matter
    EXPECT_EQ(decoded(packIdentDigits({1, 0, 1, 0, 1})), "");
    EXPECT_EQ(decoded(packIdentDigits({12, 13, 14, 15, 16})), "ABCDE");
    EXPECT_EQ(decoded(packIdentDigits({1, 1, 2, 11, 37})), "09Z");
    EXPECT_EQ(decoded(packIdentDigits({12, 0, 13, 1, 14})), "A B C");  // blanks inside stay

    // The characters and the NUL move to the front; leftovers of the decoding stay behind the NUL.
    char ident[7] = {'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    decodeIdent(packIdentDigits({0, 0, 12, 13, 3}), ident);
    EXPECT_EQ(std::string(ident, 7), std::string("AB1\0"
                                                 "1\0x",
                                                 7));
}

TEST_F(AirportDecoderTest, EightTowerFrequenciesFitTheNinthIsDropped) {
    AirportDef full = airportDef("EGLL", 51.47, -0.46);
    for (int i = 0; i <= 8; ++i)
        full.frequencies.push_back(mhz(118.0 + i / 10.0));
    AirportDef zero = airportDef("EGKK", 51.15, -0.19);
    zero.frequencies = {mhz(117.0)};  // code 0 is the empty mark: nothing is left behind

    LogCapture log(5);
    EXPECT_EQ(decode({encodeAirport(full), encodeAirport(zero)}), 2u);
    EXPECT_EQ(slots(lookupAirport("EGLL")),
              (std::vector<uint16_t>{1000, 1100, 1200, 1300, 1400, 1500, 1600, 1700}));
    EXPECT_TRUE(log.contains("Found tower COM #7 at 118.700\r\n"));
    EXPECT_TRUE(log.contains("WARNING: COM #8 *NOT INSERTED* for EGLL (not enough space)\r\n"));
    EXPECT_EQ(slots(lookupAirport("EGKK")), std::vector<uint16_t>(8, 0));
    EXPECT_TRUE(log.contains("Found tower COM #0 at 117.000\r\n"));
}

TEST_F(AirportDecoderTest, NameIsExactlyTheCopiedTextAtMostThirtyOneBytes) {
    AirportFields fields;
    fields.packedIdent = *packIdent("LSZH");
    const std::string longName = "Zurich Kloten International Airport";  // 35 bytes
    // Each later record renames the airport; what a name was before never shows through.
    const struct {
        std::string text;
        bool terminated;
        std::string name;
    } renames[] = {
        {longName, false, longName.substr(0, 31)},  // a 41-byte subrecord copies 31 bytes
        {"Bern", false, "Bern"},                    // no NUL of its own
        {std::string("Ab\0cd", 5), false, "Ab"},    // the text ends at its NUL
    };
    for (const auto& row : renames) {
        decode({airportRecord(fields, {nameSubrecord(row.text, row.terminated)})});
        const std::string name(lookupAirport("LSZH")->name, sizeof Airport::name);
        EXPECT_EQ(name, row.name + std::string(sizeof Airport::name - row.name.size(), '\0'));
    }
}

TEST_F(AirportDecoderTest, FixedPartOnlyIsAnEmptyAirport) {
    AirportFields fields;
    fields.packedIdent = *packIdent("K1");
    fields.runwayCount = 3;
    const Record record = airportRecord(fields, {});
    ASSERT_EQ(encodeRecord(record).size(), 52u);

    LogCapture log(5);
    EXPECT_EQ(decode({record}), 1u);
    Airport* a = lookupAirport("K1");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name[0], '\0');
    EXPECT_EQ(runwayListHead(a), nullptr);
    EXPECT_EQ(a->runwayCount, 3);  // the record's count until the airport is finalised
    EXPECT_EQ(slots(a), std::vector<uint16_t>(8, 0));
    EXPECT_FALSE(log.contains("specified a size"));
}

TEST_F(AirportDecoderTest, SubrecordsThatDoNotAddUpToTheRecord) {
    AirportFields fields;
    fields.packedIdent = *packIdent("AAA");
    // A subrecord that claims fewer than 6 bytes cannot move the walk on: it ends there.
    Record tooSmall{0x1234, Bytes(10, 0), 3};
    Record shortStop = airportRecord(fields, {nameSubrecord("Stop"), tooSmall, comSubrecord(6, 118700000)});
    // The last subrecord claims more than the record holds: it is not read from the bytes behind.
    fields.packedIdent = *packIdent("BBB");
    Record overlong = nameSubrecord("Overlong");
    overlong.sizeField = 6 + 9 + 40;
    Record pastEnd = airportRecord(fields, {overlong});
    // Four bytes left after the fixed part: no room for a subrecord header.
    fields.packedIdent = *packIdent("CCC");
    Record cut = airportRecord(fields, {});
    cut.body.insert(cut.body.end(), {0x19, 0x00, 0x20, 0x00});

    const MemoryBgl bgl =
        memoryBgl({shortStop, pastEnd, cut, airportRecord(fields, {nameSubrecord("After")})});
    LogCapture log(2);
    EXPECT_EQ(parseAirportRecord("x.bgl", bgl.view(), bgl.record(0)), 1u);
    EXPECT_EQ(parseAirportRecord("x.bgl", bgl.view(), bgl.record(1)), 1u);
    EXPECT_EQ(parseAirportRecord("x.bgl", bgl.view(), bgl.record(2)), 1u);

    char expected[400];
    std::snprintf(expected, sizeof expected,
                  "x.bgl: airport record at offset %08X specified a size of %d, but used %d\r\n"
                  "x.bgl: airport record at offset %08X specified a size of %d, but used %d\r\n"
                  "x.bgl: airport record at offset %08X specified a size of %d, but used %d\r\n",
                  bgl.record(0), 52 + 11 + 16 + 13, 52 + 11, bgl.record(1), 52 + 15, 52 + 55, bgl.record(2),
                  56, 52);
    EXPECT_EQ(log.text(), expected);
    // Each airport is used all the same, with what was read before the walk ended.
    EXPECT_STREQ(lookupAirport("AAA")->name, "Stop");
    EXPECT_EQ(lookupAirport("AAA")->towerCom[0], 0);
    EXPECT_STREQ(lookupAirport("BBB")->name, "");
    EXPECT_NE(lookupAirport("CCC"), nullptr);
}

TEST_F(AirportDecoderTest, RecordsThatCannotBeUsedAreSkipped) {
    AirportFields fields;
    fields.packedIdent = *packIdent("SHORT");
    Record shortRecord = airportRecord(fields, {});
    shortRecord.body.resize(40);  // 46 bytes: the fixed part is cut
    fields.packedIdent = *packIdent("CUT");
    const Record whole = airportRecord(fields, {nameSubrecord("Cut off")});
    const MemoryBgl bgl = memoryBgl({shortRecord, whole});
    ByteView truncated = bgl.view();
    truncated.size -= 3;  // the second record now reaches past the end of the file

    LogCapture log(2);
    EXPECT_EQ(parseAirportRecord("y.bgl", bgl.view(), bgl.record(0)), 0u);
    EXPECT_EQ(parseAirportRecord("y.bgl", truncated, bgl.record(1)), 0u);
    EXPECT_EQ(parseAirportRecord("y.bgl", truncated, 0xFFFFFFF0u), 0u);
    char expected[400];
    std::snprintf(
        expected, sizeof expected,
        "y.bgl: airport record at offset %08X is only 46 bytes long, expected at least 52. Skipping it\r\n"
        "y.bgl: airport record at offset %08X reaches past the end of the file. Skipping it\r\n"
        "y.bgl: airport record at offset FFFFFFF0 reaches past the end of the file. Skipping it\r\n",
        bgl.record(0), bgl.record(1));
    EXPECT_EQ(log.text(), expected);
    EXPECT_EQ(airportCount(), 0u);
    EXPECT_EQ(spatialIndex.spatialIndexRoot, nullptr);
}

TEST_F(AirportDecoderTest, FrequenciesInHzAreRoundedToTheNearestKhz) {
    // The code a COM subrecord stores, and what a deletion of the same Hz (its 28 bits) says it deletes.
    const struct {
        uint32_t hz;
        uint16_t code;
        const char* deletes;
    } cases[] = {
        {118099998, 1100, "118.100"},   // 118.1 MHz held in single precision
        {119699996, 2700, "119.700"},   // 119.7 MHz so held
        {118700000, 1700, "118.700"},   // whole kHz give the codes they always gave
        {118100499, 1100, "118.100"},   // below the half
        {118100500, 1101, "118.101"},   // the half goes up
        {UINT32_MAX, 49199, "268.435"}, // no wrap; the deletion's Hz are the low 28 bits, 268435455
    };
    char ident[] = "FRQ0";
    for (const auto& c : cases) {
        AirportDef def = airportDef(ident, 46.24, 6.11);
        def.frequencies = {Frequency{0, kComTower, "", c.hz}};
        ASSERT_EQ(decode({encodeAirport(def)}), 1u);
        Airport* a = lookupAirport(ident);
        ++ident[3];
        EXPECT_EQ(a->towerCom[0], c.code) << c.hz;
        DeleteAirportFields deletion;
        deletion.frequencies = {deleteFrequencyEntry(kComTower, c.hz)};
        const Bytes bytes = encodeRecord(deleteAirportSubrecord(deletion));
        LogCapture log(5);
        applyDeleteAirport("test.bgl", 0, ByteView{bytes.data(), bytes.size()}, a);
        EXPECT_TRUE(log.contains(std::string("for frequency ") + c.deletes + " of type 6")) << c.hz;
        EXPECT_EQ(a->towerCom[0], c.hz == UINT32_MAX ? c.code : 0) << c.hz;
    }
}

TEST_F(AirportDecoderTest, SubrecordsTooShortForTheirFieldsAreIgnored) {
    AirportFields fields;
    fields.packedIdent = *packIdent("KXYZ");
    Record com = comSubrecord(6, 118700000);
    com.body.resize(4);  // type and half the frequency
    Record runway = runwaySubrecord(RunwayFields{});
    runway.body.resize(30);
    const MemoryBgl bgl = memoryBgl({airportRecord(fields, {com, runway, comSubrecord(6, 119000000)})});

    LogCapture log(2);
    EXPECT_EQ(decode(bgl), 1u);
    char expected[300];
    std::snprintf(
        expected, sizeof expected,
        "test.bgl: COM subrecord at offset %08X is only 10 bytes long, expected at least 12. Ignoring it\r\n"
        "test.bgl: runway subrecord at offset %08X is only 36 bytes long, expected at least 44. Ignoring "
        "it\r\n",
        bgl.record(0) + 52, bgl.record(0) + 62);
    EXPECT_EQ(log.text(), expected);
    Airport* a = lookupAirport("KXYZ");
    EXPECT_EQ(runwayListHead(a), nullptr);
    EXPECT_EQ(slots(a), (std::vector<uint16_t>{2000, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(AirportDecoderTest, DeleteAirportActsOnlyOnAnAirportFromAnEarlierRecord) {
    const Runway r28 = runwayAt(37.62, -122.37, 28, 1, 10, 2);
    const Runway r01 = runwayAt(37.61, -122.36, 1, 2, 19, 1);
    AirportDef low = airportDef("KSFO", 37.619806, -122.374821);
    low.tower = TowerPosition{37.616, -122.385, 71.0};
    low.runways = {r28, r01};
    low.frequencies = {mhz(118.7), mhz(120.5)};
    low.deletion = Deletion{true, true, {}, {}};  // in the creating record: not evaluated

    AirportDef middle = airportDef("KSFO", 40.0, -100.0);  // another position: the first one stays
    middle.name = "Middle";
    middle.tower = TowerPosition{37.617, -122.386, 80.0};
    middle.runways = {runwayAt(37.6, -122.3, 10, 0, 28, 0)};
    middle.frequencies = {mhz(119.0)};
    middle.deletion = Deletion{false, false, {r28.key()}, {mhz(118.7)}};

    AirportDef top = airportDef("KSFO", 37.619806, -122.374821);
    top.name = "Top";
    top.runways = {runwayAt(37.6, -122.3, 5, 0, 23, 0)};
    top.frequencies = {mhz(121.0), mhz(119.0)};
    top.deletion = Deletion{true, true, {}, {}};

    LogCapture log(5);
    ASSERT_EQ(decode({encodeAirport(low)}), 1u);
    Airport* a = lookupAirport("KSFO");
    EXPECT_EQ(runwayNumbers(a), (std::vector<uint8_t>{1, 28}));
    EXPECT_EQ(slots(a), (std::vector<uint16_t>{1700, 3500, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(log.contains("Evaluating DeleteAirport subrecord"));

    log.clear();
    EXPECT_EQ(decode({encodeAirport(middle)}), 0u);
    EXPECT_EQ(airportCount(), 1u);
    EXPECT_EQ(lookupAirport("KSFO"), a);
    EXPECT_TRUE(log.contains("Found an existing entry for KSFO\r\n"));
    // The deletions come first, then the record's own runway and frequency.
    EXPECT_EQ(runwayNumbers(a), (std::vector<uint8_t>{10, 1}));
    EXPECT_EQ(slots(a), (std::vector<uint16_t>{3500, 2000, 0, 0, 0, 0, 0, 0}));
    EXPECT_STREQ(a->name, "Middle");
    EXPECT_EQ(a->apLat, encodeLatitude(37.619806));
    EXPECT_EQ(a->twrLat, encodeLatitude(37.617));
    EXPECT_EQ(a->twrAlt, 80000);
    const size_t evaluating = log.text().find("Evaluating DeleteAirport subrecord\r\n");
    const size_t deleted = log.text().find("Deleted runway 28/33 from KSFO\r\n");
    const size_t request =
        log.text().find("found individual delete request for frequency 118.700 of type 6\r\n");
    const size_t index = log.text().find("deleting tower COM at index 0\r\n");
    const size_t added = log.text().find("Found runway at");
    ASSERT_NE(added, std::string::npos);
    EXPECT_LT(evaluating, deleted);
    EXPECT_LT(deleted, request);
    EXPECT_LT(request, index);
    EXPECT_LT(index, added);

    log.clear();
    EXPECT_EQ(decode({encodeAirport(top)}), 0u);
    EXPECT_EQ(runwayNumbers(a), std::vector<uint8_t>{5});
    EXPECT_EQ(slots(a), (std::vector<uint16_t>{4000, 2000, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(a->twrLat, encodeLatitude(37.617));  // no tower in the top record: the middle one's stays
    EXPECT_TRUE(
        log.contains("Deleting all runways from KSFO\r\ndeleting all frequencies from KSFO\r\n"
                     "deleted 2 frequencies\r\n"));
}

class DeleteAirportTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        target = airport("LSZH", 47.46, 8.55);
    }
    RunwayNode* runwayKeyed(uint8_t surface, uint8_t primary, uint8_t secondary, uint8_t designators) {
        RunwayNode* r = runway(target, 47.46, 8.55, 3000, 140);
        r->surface = surface;
        r->primaryNumber = primary;
        r->secondaryNumber = secondary;
        r->designators = designators;
        return r;
    }
    void apply(const DeleteAirportFields& fields) {
        bytes = encodeRecord(deleteAirportSubrecord(fields));
        applyDeleteAirport("test.bgl", kAt, ByteView{bytes.data(), bytes.size()}, target);
    }
    void fillSlots() {
        for (int i = 0; i < kTowerComSlots; ++i)
            target->towerCom[i] = static_cast<uint16_t>(1000 + 100 * i);
    }
    static uint32_t towerEntry(double megahertz, uint16_t type = kComTower) {
        return deleteFrequencyEntry(type, encodeFrequencyHz(megahertz));
    }

    static constexpr uint64_t kAt = 0x100;  // the subrecord's file offset, for the lines
    Airport* target = nullptr;
    Bytes bytes;
};

TEST_F(DeleteAirportTest, AKeyRemovesOnlyTheNewestMatchingRunway) {
    RunwayNode* older = runwayKeyed(4, 16, 34, 0x12);
    runwayKeyed(4, 16, 34, 0x12);
    RunwayNode* other = runwayKeyed(4, 16, 34, 0x11);
    DeleteAirportFields fields;
    fields.runways = {RunwayKey{4, 16, 34, 0x12}, RunwayKey{9, 9, 9, 9}};
    LogCapture log(5);
    apply(fields);
    ASSERT_EQ(runwayListHead(target), other);
    EXPECT_EQ(other->next, older);
    EXPECT_EQ(older->next, nullptr);
    EXPECT_TRUE(log.contains("Deleted runway 16/18 from LSZH\r\n"));
}

TEST_F(DeleteAirportTest, FrequencyDeletionClosesTheGap) {
    fillSlots();
    DeleteAirportFields last;
    last.frequencies = {towerEntry(118.7)};
    // The entries between the runway keys and the frequencies are stepped over, never read as either.
    last.stepped = {towerEntry(118.0), towerEntry(118.1)};
    apply(last);
    EXPECT_EQ(slots(target), (std::vector<uint16_t>{1000, 1100, 1200, 1300, 1400, 1500, 1600, 0}));

    fillSlots();
    DeleteAirportFields third;
    third.frequencies = {towerEntry(118.2), towerEntry(118.25), towerEntry(118.3, 5)};
    LogCapture log(5);
    apply(third);
    EXPECT_EQ(slots(target), (std::vector<uint16_t>{1000, 1100, 1300, 1400, 1500, 1600, 1700, 0}));
    EXPECT_TRUE(log.contains("deleting tower COM at index 2\r\n"));
    EXPECT_TRUE(log.contains("found individual delete request for frequency 118.250 of type 6\r\n"));
    // Another COM type only produces the line.
    EXPECT_TRUE(log.contains("found individual delete request for frequency 118.300 of type 5\r\n"));

    // Searching stops at the first empty slot.
    target->towerCom[0] = 0;
    target->towerCom[1] = 1300;
    DeleteAirportFields behindGap;
    behindGap.frequencies = {towerEntry(118.3)};
    apply(behindGap);
    EXPECT_EQ(target->towerCom[1], 1300);
}

TEST_F(DeleteAirportTest, CountsReachingPastTheSubrecordDeleteOnlyWhatLiesInside) {
    runwayKeyed(0, 9, 27, 0);
    runwayKeyed(0, 14, 32, 0);
    fillSlots();
    DeleteAirportFields fields;
    fields.runways = {RunwayKey{0, 14, 32, 0}};
    fields.runwayCount = 200;
    fields.steppedCount = 0;
    fields.frequencyCount = 50;
    LogCapture log(5);
    apply(fields);  // 16 bytes: one key; the other 199 keys and every frequency lie outside
    EXPECT_EQ(runwayListLength(target), 1u);
    EXPECT_EQ(slots(target)[0], 1000);
    EXPECT_FALSE(log.contains("found individual delete request"));
    EXPECT_TRUE(
        log.contains("test.bgl: DeleteAirport subrecord at offset 00000100 is only 16 bytes long, "
                     "expected at least 1012. Ignoring what lies past its end\r\n"))
        << log.text();

    DeleteAirportFields frequencies;
    frequencies.frequencies = {towerEntry(118.0)};
    frequencies.frequencyCount = 9;
    frequencies.steppedCount = 0;
    log.clear();
    apply(frequencies);
    EXPECT_EQ(slots(target), (std::vector<uint16_t>{1100, 1200, 1300, 1400, 1500, 1600, 1700, 0}));
    EXPECT_TRUE(log.contains("expected at least 48. Ignoring what lies past its end\r\n")) << log.text();
}

TEST_F(DeleteAirportTest, AirportWithoutRunwaysLeftDumpsNf) {
    // All runways deleted at once, or the last one by its key: either way the list is empty.
    DeleteAirportFields all, byKey;
    all.flags = 0x20;
    byKey.runways = {RunwayKey{0, 9, 27, 0}};
    for (const DeleteAirportFields& fields : {all, byKey}) {
        runwayKeyed(0, 9, 27, 0);
        apply(fields);
        LogCapture log(5);
        dumpAirport(target, 5);
        EXPECT_TRUE(log.contains(" 0 rwys (nf); ")) << log.text();
    }
}

TEST_F(DeleteAirportTest, ShortSubrecordStillActsOnItsFlags) {
    runwayKeyed(0, 9, 27, 0);
    fillSlots();
    DeleteAirportFields fields;
    fields.flags = 0x20 | 0x08 | 0x01;
    bytes = encodeRecord(deleteAirportSubrecord(fields));
    bytes.resize(10);
    putU32(bytes.data() + 2, 10);
    LogCapture log(5);
    applyDeleteAirport("test.bgl", kAt, ByteView{bytes.data(), bytes.size()}, target);
    EXPECT_EQ(runwayListHead(target), nullptr);
    EXPECT_EQ(slots(target), std::vector<uint16_t>(8, 0));
    EXPECT_EQ(log.text(),
              "Evaluating DeleteAirport subrecord\r\nDeleting all runways from LSZH\r\n"
              "deleting all frequencies from LSZH\r\ndeleted 8 frequencies\r\n"
              "bailing out because size (10) is less than DeleteAirport size containing individual runway or "
              "frequency deletions (12)\r\n");

    // Six bytes: not even the flags.
    runwayKeyed(0, 9, 27, 0);
    bytes.resize(6);
    putU32(bytes.data() + 2, 6);
    applyDeleteAirport("test.bgl", kAt, ByteView{bytes.data(), bytes.size()}, target);
    EXPECT_EQ(runwayListLength(target), 1u);
}

}  // namespace
