// The BGL walker: BGL files walked in memory, layer index files read from a temporary folder, and the
// files whose counts, offsets and sizes point where they should not.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scenery/bgl_walker.h"
#include "scenery/import_fixtures.h"
#include "support/log_capture.h"

namespace {

using namespace sceneryw;

Record airportNamed(const std::string& ident, const std::string& name = "Name") {
    AirportFields fields;
    fields.packedIdent = *packIdent(ident);
    return airportRecord(fields, {nameSubrecord(name)});
}

BglSubsection subsection(const std::vector<Record>& records) {
    BglSubsection sub;
    sub.records = records;
    return sub;
}

BglFile airportFile(const std::vector<BglSubsection>& subsections) {
    BglSection section;
    section.subsections = subsections;
    BglFile file;
    file.sections = {section};
    return file;
}

std::string hex8(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
    return text;
}

class BglWalkerTest : public ImportTest {
protected:
    uint32_t walk(const Bytes& bytes) {
        return parseBglFile(ByteView{bytes.data(), bytes.size()}, "mem.bgl");
    }
    uint32_t walk(const BglFile& file) { return walk(buildBgl(file)); }
};

TEST_F(BglWalkerTest, SmallestCompleteFile) {
    const BglLayout layout = layoutBgl(airportFile({subsection({airportNamed("AB1")})}));
    ASSERT_EQ(layout.sections[0].entryOffset, 56u);
    ASSERT_EQ(layout.sections[0].subsectionTableOffset, 76u);
    ASSERT_EQ(layout.sections[0].subsections[0].firstRecordOffset, 92u);
    const int size = static_cast<int>(layout.sections[0].subsections[0].size);

    LogCapture log(5);
    EXPECT_EQ(walk(layout.bytes), 1u);
    EXPECT_EQ(
        log.text().rfind("1 sections in file\r\n"
                         "parsing section 0 of type 00000003, offset 0000004C, as airport subsection\r\n"
                         "subsection 0 at offset 0000005C has 1 records, size " +
                             std::to_string(size) + "\r\nrecord 0 at offset 0000005C is of type 0003, size " +
                             std::to_string(size) + "\r\n",
                         0),
        0u)
        << log.text();
    EXPECT_NE(lookupAirport("AB1"), nullptr);

    // The same layout again, without a single level-2 line.
    LogCapture quiet(2);
    EXPECT_EQ(walk(airportFile({subsection({airportNamed("AB2")})})), 1u);
    EXPECT_EQ(quiet.text(), "");
}

TEST_F(BglWalkerTest, HeaderSizeOtherThan56IsReportedAndFollowed) {
    BglFile file = airportFile({subsection({airportNamed("K64")})});
    file.headerSize = 64;
    LogCapture log(2);
    EXPECT_EQ(walk(file), 1u);
    EXPECT_EQ(log.text(), "Header size in mem.bgl is 64, expected 56. Continuing nevertheless.\r\n");
    EXPECT_NE(lookupAirport("K64"), nullptr);
}

TEST_F(BglWalkerTest, FilesWithoutAirportSections) {
    LogCapture log(5);
    EXPECT_EQ(walk(BglFile{}), 0u);
    EXPECT_EQ(log.text(), "0 sections in file\r\n");

    BglFile other;
    other.sections = {BglSection{0x65, {subsection({airportNamed("NOPE")})}, {}, {}},
                      BglSection{0x2C, {}, {}, {}}};
    log.clear();
    EXPECT_EQ(walk(other), 0u);
    EXPECT_EQ(log.text(),
              "2 sections in file\r\nignoring section 0 of type 00000065\r\n"
              "ignoring section 1 of type 0000002C\r\n");
    EXPECT_EQ(airportCount(), 0u);
}

TEST_F(BglWalkerTest, SubsectionOverrunEndsOnlyThatSubsection) {
    BglSubsection over = subsection({airportNamed("A1"), airportNamed("A2"), airportNamed("A3")});
    BglSubsection exact = subsection({airportNamed("B1"), airportNamed("B2")});
    const BglLayout::Subsection placed = layoutBgl(airportFile({over, exact})).sections[0].subsections[0];
    const uint32_t shortSize = placed.recordOffsets[2] - placed.firstRecordOffset - 1;
    over.size = shortSize;
    const BglLayout layout = layoutBgl(airportFile({over, exact}));

    LogCapture log(2);
    EXPECT_EQ(walk(layout.bytes), 4u);
    char expected[300];
    std::snprintf(expected, sizeof expected,
                  "While reading record 1 of 3 in file mem.bgl: ended up at offset 0x%08X > 0x%08X + 0x%X "
                  "(subsection start + subsection size)\r\n",
                  placed.recordOffsets[2], placed.firstRecordOffset, shortSize);
    EXPECT_EQ(log.text(), expected);  // the second subsection ends exactly at its size: no line
    EXPECT_EQ(lookupAirport("A3"), nullptr);
    EXPECT_NE(lookupAirport("B1"), nullptr);
    EXPECT_NE(lookupAirport("B2"), nullptr);
}

TEST_F(BglWalkerTest, ForeignRecordIsReportedAndSteppedOver) {
    const BglLayout layout = layoutBgl(
        airportFile({subsection({airportNamed("A1"), opaqueSubrecord(0x22, 30), airportNamed("A2")})}));
    LogCapture log(2);
    EXPECT_EQ(walk(layout.bytes), 2u);
    EXPECT_EQ(log.text(), "File mem.bgl, offset " + hex8(layout.sections[0].subsections[0].recordOffsets[1]) +
                              ": expected airport ID (0003), but found 0022. Aborting parse of record\r\n");
}

TEST_F(BglWalkerTest, WrongMagicSkipsTheFile) {
    BglFile file = airportFile({subsection({airportNamed("A1")})});
    file.magic = 0x12345678;
    LogCapture log(2);
    EXPECT_EQ(walk(file), 0u);
    EXPECT_EQ(log.text(), "Unknown magic 12345678 in file mem.bgl, aborting parse\r\n");
}

TEST_F(BglWalkerTest, TruncatedFilesAreWalkedNoFurtherThanTheirEnd) {
    const Bytes whole = buildBgl(airportFile({subsection({airportNamed("A1")})}));
    ASSERT_EQ(whole.size(), 92u + 63u);
    const struct {
        size_t length;
        std::string line;
    } cases[] = {
        {0, "File mem.bgl is too short (0 bytes) for a BGL header, aborting parse"},
        {3, "File mem.bgl is too short (3 bytes) for a BGL header, aborting parse"},
        {20, "File mem.bgl is too short (20 bytes) for a BGL header, aborting parse"},
        {60, "File mem.bgl: section 0 at offset 00000038 reaches past the end of the file. Aborting parse"},
        {80,
         "File mem.bgl: subsection 0 of section 0 at offset 0000004C reaches past the end of the file. "
         "Aborting parse of section"},
        {95,
         "File mem.bgl, offset 0000005C: record 0 of 1 reaches past the end of the file. Aborting parse of "
         "subsection"},
        {154,
         "File mem.bgl, offset 0000005C: record 0 of 1 (size 63) reaches past the end of the file. "
         "Aborting parse of subsection"},
    };
    for (const auto& c : cases) {
        Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.length));
        LogCapture log(2);
        EXPECT_EQ(walk(bytes), 0u) << c.length;
        EXPECT_EQ(log.text(), c.line + "\r\n") << c.length;
    }
    EXPECT_EQ(airportCount(), 0u);
}

TEST_F(BglWalkerTest, CountsAndOffsetsPointingPastTheEnd) {
    // Counts that would run for billions of entries stop at the first one outside the file.
    BglFile manySections = airportFile({subsection({airportNamed("S1")})});
    manySections.sectionCount = 0xFFFFFFFF;
    BglFile manySubsections = airportFile({subsection({airportNamed("S2")})});
    manySubsections.sections[0].subsectionCount = 0x7FFFFFFF;
    BglSubsection manyRecords = subsection({airportNamed("S3")});
    manyRecords.recordCount = 0xFFFFFFFF;
    manyRecords.size = 0xFFFFFFFF;
    BglSubsection farRecords = subsection({airportNamed("S4")});
    farRecords.firstRecordOffset = 0xFFFFFFF0;
    BglFile farTable = airportFile({subsection({airportNamed("S5")})});
    farTable.sections[0].subsectionTableOffset = 0xFFFFFFF8;

    // Each of these files is 155 bytes long: the first entry that does not fit is the one reported.
    ASSERT_EQ(buildBgl(manySections).size(), 155u);
    LogCapture log(2);
    EXPECT_EQ(walk(manySections), 1u);
    EXPECT_EQ(walk(manySubsections), 1u);
    EXPECT_EQ(walk(airportFile({manyRecords})), 1u);
    EXPECT_EQ(walk(airportFile({farRecords})), 0u);
    EXPECT_EQ(walk(farTable), 0u);
    EXPECT_EQ(
        log.text(),
        "File mem.bgl: section 4 at offset 00000088 reaches past the end of the file. Aborting parse\r\n"
        "File mem.bgl: subsection 4 of section 0 at offset 0000008C reaches past the end of the file. "
        "Aborting parse of section\r\n"
        "File mem.bgl, offset 0000009B: record 1 of -1 reaches past the end of the file. Aborting parse of "
        "subsection\r\n"
        "File mem.bgl, offset FFFFFFF0: record 0 of 1 reaches past the end of the file. Aborting parse of "
        "subsection\r\n"
        "File mem.bgl: subsection 0 of section 0 at offset FFFFFFF8 reaches past the end of the file. "
        "Aborting parse of section\r\n");
}

TEST_F(BglWalkerTest, RecordOfSizeZeroAbandonsItsSubsection) {
    Record empty = airportNamed("Z1");
    empty.sizeField = 0;
    const BglLayout layout =
        layoutBgl(airportFile({subsection({empty, airportNamed("Z2")}), subsection({airportNamed("Z3")})}));
    LogCapture log(2);
    EXPECT_EQ(walk(layout.bytes), 1u);
    EXPECT_EQ(log.text(),
              "File mem.bgl, offset 0000006C: record 0 of 2 has a size of 0. Aborting parse of "
              "subsection\r\n");
    EXPECT_NE(lookupAirport("Z3"), nullptr);
}

// --- Layer index files ----------------------------------------------------------------------------

class LayerIndexTest : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        useSimulatorFolder(dir.path());
    }
    // A BGL file at `relative` (backslashes) below the simulator folder, with one airport.
    void writeBglFile(const std::string& relative, const std::string& ident) {
        const Bytes bytes = buildBgl(airportFile({subsection({airportNamed(ident)})}));
        writeFile(resolveSimPath(dir.path(), relative + ".bgl"), std::string(bytes.begin(), bytes.end()));
    }
    std::string writeIndex(const Bytes& bytes) {
        writeFile(dir.path() / "scenery.dat", std::string(bytes.begin(), bytes.end()));
        return programPath("scenery.dat");
    }
    static SceneryDatEntry entry(const std::string& name, bool holdsAirports = true) {
        SceneryDatEntry e;
        e.name = name;
        e.holdsAirports = holdsAirports;
        return e;
    }
};

TEST_F(LayerIndexTest, EntriesInOffsetTableOrder) {
    writeBglFile("Scenery\\first", "F1");
    writeBglFile("Scenery\\second", "S2");
    SceneryDat dat;
    dat.entries = {entry("Scenery\\first"), entry("Scenery\\second")};
    dat.fileOrder = {1, 0};  // the second entry lies first in the file
    const SceneryDatLayout layout = layoutSceneryDat(dat);
    ASSERT_GT(layout.entryOffsets[0], layout.entryOffsets[1]);
    const std::string index = writeIndex(layout.bytes);

    LogCapture log(5);
    EXPECT_EQ(importLayerIndex(index.c_str()), 2u);
    const size_t layerLine = log.text().find(index + " contains airports\r\n");
    const size_t first = log.text().find(std::string(basedir) + "Scenery\\first.bgl contains airports\r\n");
    const size_t second = log.text().find(std::string(basedir) + "Scenery\\second.bgl contains airports\r\n");
    EXPECT_EQ(layerLine, 0u);
    ASSERT_NE(first, std::string::npos) << log.text();
    EXPECT_LT(first, second);
    EXPECT_EQ(progressState.filesScanned, 2u);
}

TEST_F(LayerIndexTest, ClearedLayerFlagTouchesNoEntry) {
    SceneryDat dat;
    dat.holdsAirports = false;
    dat.entries = {entry("Scenery\\missing")};
    dat.offsetOverrides = {{0, 0xFFFFFF00}};
    const std::string index = writeIndex(buildSceneryDat(dat));
    LogCapture log(5);
    EXPECT_EQ(importLayerIndex(index.c_str()), 0u);
    EXPECT_EQ(log.text(), index + " does not contain airports\r\n");
    EXPECT_EQ(progressState.filesScanned, 0u);
}

TEST_F(LayerIndexTest, OnlyFlaggedFilesAreOpenedAndCounted) {
    writeBglFile("Scenery\\unflagged", "U1");
    writeBglFile("Scenery\\last", "L1");
    writeFile(dir.path() / "Scenery" / "empty.bgl", "");
    SceneryDat dat;
    dat.entries = {entry("Scenery\\unflagged", false), entry("Scenery\\missing"), entry("Scenery\\empty"),
                   entry("Scenery\\last")};
    const std::string index = writeIndex(buildSceneryDat(dat));

    LogCapture log(5);
    EXPECT_EQ(importLayerIndex(index.c_str()), 1u);
    const std::string base = basedir;
    EXPECT_TRUE(log.contains(base + "Scenery\\unflagged.bgl does not contain airports\r\n"));
    EXPECT_TRUE(log.contains("Unable to open file \"" + base + "Scenery\\missing.bgl\", error was: "));
    EXPECT_TRUE(
        log.contains("Unable to create file mapping \"" + base + "Scenery\\empty.bgl\", error was: "));
    EXPECT_EQ(lookupAirport("U1"), nullptr);
    EXPECT_NE(lookupAirport("L1"), nullptr);
    EXPECT_EQ(progressState.filesScanned, 3u);  // the missing and the empty file count; the unflagged not
}

TEST_F(LayerIndexTest, MalformedIndexesArePassedOverWithoutReadingOutside) {
    writeBglFile("Scenery\\good", "G1");
    SceneryDat dat;
    SceneryDatEntry unterminated = entry("Scenery\\never");
    unterminated.terminate = false;
    unterminated.nameLength = 1u << 20;  // the name field runs past the end of the file
    SceneryDatEntry terminated = entry("Scenery\\good");
    terminated.nameLength = 1u << 20;  // reaches past the end too, but its name ends at the NUL before
    dat.entries = {entry("Scenery\\far"), terminated, unterminated};
    dat.offsetOverrides = {{0, 0xFFFFFFF0}};
    const std::string index = writeIndex(buildSceneryDat(dat));
    const uint32_t lastEntry = layoutSceneryDat(dat).entryOffsets[2];

    LogCapture log(2);
    EXPECT_EQ(importLayerIndex(index.c_str()), 1u);
    EXPECT_EQ(log.text(),
              index + ": entry 0 at offset FFFFFFF0 reaches past the end of the file. Skipping it\r\n" +
                  index + ": entry 2 at offset " + hex8(lastEntry) +
                  " reaches past the end of the file. Skipping it\r\n");

    // An offset table that ends with the file, and a file too short for the layer header.
    Bytes header(108, 0);
    putU32(header.data() + 32, 1000);
    header[37] = 0x20;
    log.clear();
    EXPECT_EQ(importLayerIndex(writeIndex(header).c_str()), 0u);
    EXPECT_EQ(log.text(), index +
                              ": the offset table of 1000 entries reaches past the end of the file after 0 "
                              "entries\r\n");
    log.clear();
    EXPECT_EQ(importLayerIndex(writeIndex(Bytes(37, 0)).c_str()), 0u);
    EXPECT_EQ(log.text(), index + " is too short (37 bytes) for a layer index. Ignoring that layer!\r\n");
}

TEST_F(LayerIndexTest, EntryPathsAreComposedWithinTheirBuffer) {
    std::strcpy(basedir, "C:\\FS9\\");
    auto composed = [](const std::string& name, size_t length = std::string::npos) {
        char path[kPathBufferSize];
        std::memset(path, '#', sizeof path);
        const size_t n = length == std::string::npos ? name.size() : length;
        const int ok = composeBglPath(reinterpret_cast<const uint8_t*>(name.data()), n, path, sizeof path);
        return ok ? std::string(path) : "(refused) " + std::string(path);
    };
    EXPECT_EQ(composed("D:\\Addon\\Scenery\\file"), "D:\\Addon\\Scenery\\file.bgl");
    EXPECT_EQ(composed("\\\\server\\share\\f"), "\\\\server\\share\\f.bgl");
    EXPECT_EQ(composed("\\\\a"), "\\\\a.bgl");  // 7 characters with the extension
    EXPECT_EQ(composed("\\\\"), "C:\\FS9\\\\\\.bgl");
    EXPECT_EQ(composed("\\Scenery\\f"), "C:\\FS9\\\\Scenery\\f.bgl");
    EXPECT_EQ(composed("C"), "C:\\FS9\\C.bgl");  // the second character is the extension's dot
    EXPECT_EQ(composed(""), "C:\\FS9\\.bgl");
    EXPECT_EQ(composed(std::string("Scenery\\a\0junk", 14)), "C:\\FS9\\Scenery\\a.bgl");  // up to the NUL
    EXPECT_EQ(composed("Scenery\\abcdef", 9), "C:\\FS9\\Scenery\\a.bgl");                 // up to the length
#ifndef _WIN32
    EXPECT_EQ(composed("/abs/f"), "/abs/f.bgl");
#endif

    // 259 characters fit; one more does not, and nothing is written past the buffer.
    EXPECT_EQ(composed("D:" + std::string(253, 'n')).size(), 259u);
    EXPECT_EQ(composed("D:" + std::string(254, 'n')), "(refused) ");
    EXPECT_EQ(composed(std::string(248, 'r')).size(), 259u);
    EXPECT_EQ(composed(std::string(249, 'r')), "(refused) ");
}

TEST_F(LayerIndexTest, RefusedEntriesAreReportedAndCountedOnlyWhenFlagged) {
    SceneryDatEntry pastEnd = entry("Scenery\\never");
    pastEnd.terminate = false;
    pastEnd.nameLength = 1u << 20;  // the name runs past the end of the file
    const struct {
        SceneryDatEntry entry;
        bool flagged;
        std::string line;  // behind the index path; without the flag there is none
    } rows[] = {
        {entry(std::string(300, 'x')), true,
         ": the file of entry 0 does not fit a path of 259 characters. Skipping it"},
        {entry(std::string(300, 'x')), false, ""},
        {pastEnd, true, ": entry 0 at offset %08X reaches past the end of the file. Skipping it"},
        {pastEnd, false, ""},
    };
    for (const auto& row : rows) {
        SceneryDat dat;
        dat.entries = {row.entry};
        dat.entries[0].holdsAirports = row.flagged;
        const std::string index = writeIndex(buildSceneryDat(dat));
        char line[200] = "";
        if (row.flagged)
            std::snprintf(line, sizeof line, row.line.c_str(), layoutSceneryDat(dat).entryOffsets[0]);
        progressState = ProgressState{};
        LogCapture log(2);
        EXPECT_EQ(importLayerIndex(index.c_str()), 0u);
        EXPECT_EQ(log.text(), row.flagged ? index + line + "\r\n" : "") << row.entry.name;
        EXPECT_EQ(progressState.filesScanned, row.flagged ? 1u : 0u) << row.entry.name;
    }
}

}  // namespace
