// The simulator's core: blocks carried out or refused, the scenario timeline, the record and the faults.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "sim_core.h"

namespace {

// Builds request blocks the way a client lays them out.
struct BlockBuilder {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x8000, 0);
    size_t at = 0;
    BlockBuilder& read(uint32_t offset, uint32_t size) {
        putU32(&bytes[at], 1);
        putU32(&bytes[at + 4], offset);
        putU32(&bytes[at + 8], size);
        at += 16 + size;
        return *this;
    }
    BlockBuilder& write(uint32_t offset, std::vector<uint8_t> data) {
        putU32(&bytes[at], 2);
        putU32(&bytes[at + 4], offset);
        putU32(&bytes[at + 8], static_cast<uint32_t>(data.size()));
        std::memcpy(&bytes[at + 12], data.data(), data.size());
        at += 12 + data.size();
        return *this;
    }
    BlockBuilder& word(uint32_t value) {
        putU32(&bytes[at], value);
        at += 4;
        return *this;
    }
};

TEST(ProcessBlock, CarriesOutRecordsInOrder) {
    sim::OffsetMemory memory;
    memory.putU32(0x100, 0x11223344);
    BlockBuilder block;
    block.read(0x100, 4).write(0x100, {0xAA, 0xBB}).read(0x100, 4).word(0);
    sim::BlockResult result = sim::processBlock(block.bytes.data(), block.bytes.size(), memory);
    ASSERT_TRUE(result.accepted) << result.error;
    EXPECT_EQ(result.reads, 2u);
    ASSERT_EQ(result.writes.size(), 1u);
    EXPECT_EQ(block.bytes[16 + 3], 0x11);   // before the write
    EXPECT_EQ(block.bytes[34 + 16], 0xAA);  // after it
    EXPECT_EQ(block.bytes[34 + 16 + 2], 0x22);
}

TEST(ProcessBlock, UnknownIdentifierEndsTheWalk) {
    sim::OffsetMemory memory;
    BlockBuilder block;
    block.write(0x200, {1}).word(9).write(0x201, {2}).word(0);
    sim::BlockResult result = sim::processBlock(block.bytes.data(), block.bytes.size(), memory);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.writes.size(), 1u);
    EXPECT_EQ(memory.bytes[0x200], 1);
    EXPECT_EQ(memory.bytes[0x201], 0);
}

TEST(ProcessBlock, MalformedBlocksAreRefusedUntouched) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    {
        BlockBuilder b;
        b.write(0x10, {1}).read(0x20, 4);
        putU32(&b.bytes[13 + 8], 0x7FFFFFFF);  // the read's size runs past the block
        cases.push_back({"size past the block", b.bytes});
    }
    {
        BlockBuilder b;
        b.write(0x10, {1}).read(0xFFFE, 4).word(0);
        cases.push_back({"offsets past the memory", b.bytes});
    }
    {
        BlockBuilder b;
        b.write(0x10, {1}).write(0xFFFFFFFF, {1, 2}).word(0);
        cases.push_back({"offset that wraps", b.bytes});
    }
    {
        std::vector<uint8_t> bytes(64, 0);
        BlockBuilder b;
        b.write(0x10, {1});
        std::memcpy(bytes.data(), b.bytes.data(), 13);
        putU32(&bytes[13], 2);
        putU32(&bytes[17], 0x10);
        putU32(&bytes[21], 64);  // a write whose data would run past the view
        cases.push_back({"write past a short view", bytes});
    }
    {
        BlockBuilder b;
        b.write(0x10, {1});
        cases.push_back({"no end marker", std::vector<uint8_t>(b.bytes.begin(), b.bytes.begin() + 13)});
    }
    {
        std::vector<uint8_t> bytes(60, 0);
        for (size_t at = 0; at + 12 <= bytes.size(); at += 12)
            putU32(&bytes[at], 2);  // records of size 0 up to the end, no marker
        cases.push_back({"records up to the end", bytes});
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::OffsetMemory memory;
        std::vector<uint8_t> before = c.bytes;
        sim::BlockResult result = sim::processBlock(c.bytes.data(), c.bytes.size(), memory);
        EXPECT_FALSE(result.accepted);
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(c.bytes, before);
        EXPECT_EQ(memory.bytes[0x10], 0);
    }
}

TEST(RequestSize, EndsBehindTheEndMarkerOrIsZeroWhenMalformed) {
    BlockBuilder empty, reads, mixed, unknown, overrun;
    reads.read(0x560, 8).read(0x568, 8).word(0);
    mixed.write(0x200, {1, 2, 3}).read(0x3122, 1).word(0);
    unknown.read(0x560, 8).word(9).read(0x568, 8).word(0);
    overrun.read(0x560, 0x8000);
    const struct {
        const char* name;
        const BlockBuilder& block;
        size_t size;
    } cases[] = {
        {"nothing queued", empty, 4},
        {"reads", reads, 2 * (16 + 8) + 4},
        {"a write and a read", mixed, 12 + 3 + 16 + 1 + 4},
        {"an unknown identifier ends it", unknown, 16 + 8 + 4},
        {"a record past the block", overrun, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim::requestSize(c.block.bytes.data(), c.block.bytes.size()), c.size) << c.name;
}

TEST(ProcessBlock, VersionWordsStayAsServed) {
    sim::OffsetMemory memory;
    sim::seedMemory(memory, sim::Seed{});
    BlockBuilder block;
    block.write(0x3306, {1, 2, 3, 4, 5, 6, 7, 8}).read(0x3304, 8).word(0);
    ASSERT_TRUE(sim::processBlock(block.bytes.data(), block.bytes.size(), memory).accepted);
    uint32_t interfaceVersion = 0, simVersion = 0;
    readU32(ByteView{block.bytes.data(), block.bytes.size()}, 20 + 16, interfaceVersion);
    readU32(ByteView{block.bytes.data(), block.bytes.size()}, 20 + 20, simVersion);
    EXPECT_EQ(interfaceVersion, 0x20000000u);
    EXPECT_EQ(simVersion, 0xFADE0009u);
    EXPECT_EQ(memory.bytes[0x330C], 7);  // the bytes beyond the words are ordinary memory
}

TEST(Seed, FolderFillsItsField) {
    sim::OffsetMemory memory;
    sim::seedMemory(memory, sim::Seed{0x1, 0x2, std::string(260, 'x')});
    EXPECT_EQ(memory.bytes[0x3E00 + 259], 'x');  // 260 bytes leave no NUL
    EXPECT_EQ(memory.bytes[0x3E00 + 260], 0);
    sim::seedMemory(memory, sim::Seed{0x1, 0x2, "D:\\FS9"});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&memory.bytes[0x3E00])), "D:\\FS9");
}

TEST(Scenario, ParsesTheTimeline) {
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(
        sim::parseScenario("# a flight\r\n"
                           "time,lat,lon,alt,com1,com2,selector,ready,menu,pause\r\n"
                           "\r\n"
                           "0, 47.5, 8.5, 500, 118.100, 121.8, 0x80, 1, 0, 0\r\n"
                           "10,47.6,8.6,900,118.125,0x1A00,64,0,1,1\r\n",
                           scenario, error))
        << error;
    ASSERT_EQ(scenario.rows.size(), 2u);
    EXPECT_EQ(scenario.rows[0].com1, 0x1810);
    EXPECT_EQ(scenario.rows[0].com2, 0x2180);
    EXPECT_EQ(scenario.rows[1].com1, 0x1812);  // 25 kHz steps show as 10 kHz ones
    EXPECT_EQ(scenario.rows[1].com2, 0x1A00);
    EXPECT_EQ(scenario.rows[1].selector, 0x40);
    EXPECT_EQ(scenario.rows[1].pause, 1);
    EXPECT_DOUBLE_EQ(scenario.end(), 10.0);
}

TEST(Scenario, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "the scenario has no rows"},
        {"time,lat,lon\n", "line 1: the header must name the 10 columns"},
        {"0,1,2,3,118.1,118.1,0x80,1,0\n", "line 1: expected 10 fields, found 9"},
        {"#\n0,91,0,0,118.1,118.1,0x80,1,0,0\n", "line 2: bad latitude '91'"},
        {"0,0,0,0,99.99,118.1,0x80,1,0,0\n", "line 1: bad COM1 frequency '99.99'"},
        {"0,0,0,0,118.1,118.1,256,1,0,0\n", "line 1: bad radio selector '256'"},
        {"0,0,0,0,118.1,118.1,0x80,2,0,0\n", "line 1: ready must be 0 or 1"},
        {"5,0,0,0,118.1,118.1,0x80,1,0,0\n4,0,0,0,118.1,118.1,0x80,1,0,0\n", "line 2: time goes backwards"},
        {"0,0,nan,0,118.1,118.1,0x80,1,0,0\n", "line 1: bad longitude 'nan'"},
    };
    for (const Case& c : cases) {
        sim::Scenario scenario;
        std::string error;
        EXPECT_FALSE(sim::parseScenario(c.text, scenario, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(Scenario, StateAtATime) {
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(
        sim::parseScenario("10,40,170,100,118.1,118.1,0x80,1,0,0\n"
                           "20,50,-170,300,119.1,118.1,0x40,1,0,0\n",
                           scenario, error));
    EXPECT_DOUBLE_EQ(sim::scenarioStateAt(scenario, 0, false).lat, 40);  // before the first row
    EXPECT_DOUBLE_EQ(sim::scenarioStateAt(scenario, 15, false).lat, 40);
    EXPECT_EQ(sim::scenarioStateAt(scenario, 20, false).selector, 0x40);
    EXPECT_DOUBLE_EQ(sim::scenarioStateAt(scenario, 99, true).alt, 300);  // after the last
    sim::ScenarioRow middle = sim::scenarioStateAt(scenario, 15, true);
    EXPECT_DOUBLE_EQ(middle.lat, 45);
    EXPECT_DOUBLE_EQ(middle.alt, 200);
    EXPECT_DOUBLE_EQ(middle.lon, 180);  // the short way, across the date line
    EXPECT_EQ(middle.com1, 0x1810);     // radios step with the rows
}

TEST(Scenario, StateLandsInTheOffsets) {
    sim::OffsetMemory memory;
    sim::ScenarioRow row;
    row.lat = 90;
    row.lon = 180;
    row.alt = 1000;
    row.ready = 0;
    row.com2 = 0x2345;
    sim::applyState(memory, row);
    uint64_t value = 0;
    ByteView view{memory.bytes.data(), memory.bytes.size()};
    readU64(view, 0x0560, value);
    EXPECT_EQ(value, 10001750ull << 32);
    readU64(view, 0x0568, value);
    EXPECT_EQ(value, 0x8000000000000000ull);
    readU64(view, 0x0570, value);
    EXPECT_EQ(value, 1000ull << 32);
    EXPECT_EQ(memory.bytes[0x3364], 1);  // not ready
    EXPECT_EQ(memory.bytes[0x3122], 0x80);
    EXPECT_EQ(memory.bytes[0x3118], 0x45);
}

TEST(Record, DecodesKnownWritesAndKeepsTheRest) {
    std::vector<sim::WriteRecord> writes;
    auto bytesOf = [](uint64_t value, size_t size) {
        std::vector<uint8_t> data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<uint8_t>(value >> (8 * i));
        return data;
    };
    writes.push_back({0x0D50, bytesOf(42957189152768000ull, 8)});
    writes.push_back({0x0D58, bytesOf(0x8000000000000000ull, 8)});
    writes.push_back({0x0D60, bytesOf(static_cast<uint64_t>(-(int64_t{1} << 31)), 8)});
    writes.push_back({0x8330, bytesOf(384, 2)});
    std::vector<uint8_t> text(128, 0);
    std::memcpy(text.data(), "A \"q\"\\\x01\xE9", 8);
    writes.push_back({0x3380, text});
    writes.push_back({0x32FA, bytesOf(0xFFFF, 2)});
    writes.push_back({0x0D50, bytesOf(1, 4)});  // not the tower field's size
    EXPECT_EQ(sim::recordLine(7, 1.25, writes),
              "{\"msg\":7,\"time\":1.250,\"towerLat\":90.000000000,\"towerLatRaw\":42957189152768000,"
              "\"towerLon\":-180.000000000,\"towerLonRaw\":-9223372036854775808,"
              "\"towerAlt\":-0.500000000,\"towerAltRaw\":-2147483648,\"zoom\":384,"
              "\"text\":\"A \\\"q\\\"\\\\\\u0001\\u00e9\",\"textSize\":128,\"textSeconds\":-1,"
              "\"other\":[{\"offset\":3408,\"size\":4,\"hex\":\"01000000\"}]}");
    EXPECT_EQ(sim::recordLine(8, 0, {}), "");
    // The display time written as 4 bytes overwrites the interface's count of aircraft changes.
    EXPECT_EQ(sim::recordLine(9, 0, {{0x32FA, bytesOf(5, 4)}}),
              "{\"msg\":9,\"time\":0.000,\"other\":[{\"offset\":13050,\"size\":4,\"hex\":\"05000000\"}],"
              "\"fault\":\"the write of 4 bytes at 0x32FA reaches 0x32FC, the interface's count of aircraft "
              "changes\"}");
}

TEST(Options, ReadsEveryOptionAndRefusesBadOnes) {
    std::vector<std::string> words = {"kestrel-sim",
                                      "--scenario",
                                      "f.csv",
                                      "--record",
                                      "-",
                                      "--fs-dir",
                                      "D:\\FS9",
                                      "--class",
                                      "UIPCMAIN",
                                      "--speed",
                                      "10",
                                      "--start",
                                      "30.5",
                                      "--interpolate",
                                      "--exit-at-end",
                                      "--reply",
                                      "0",
                                      "--stop-after",
                                      "3",
                                      "--exit-after",
                                      "5",
                                      "--version-words",
                                      "0x1:0xFADE0009",
                                      "--run-dir",
                                      "/r",
                                      "--fail-tower-writes",
                                      "2",
                                      "--late-after",
                                      "4",
                                      "--late-ms",
                                      "10",
                                      "--change-size-after",
                                      "6",
                                      "--change-id-after",
                                      "7",
                                      "--garbage-after",
                                      "8",
                                      "--fault-count",
                                      "9",
                                      "--zero-versions-for",
                                      "2.5",
                                      "--verbose"};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    sim::Options options;
    std::string error;
    ASSERT_TRUE(sim::parseOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << error;
    EXPECT_EQ(options.className, "UIPCMAIN");
    EXPECT_DOUBLE_EQ(options.speed, 10);
    EXPECT_DOUBLE_EQ(options.start, 30.5);
    EXPECT_TRUE(options.interpolate && options.exitAtEnd && options.verbose);
    EXPECT_EQ(options.reply, 0u);
    EXPECT_EQ(options.stopAfter, 3);
    EXPECT_EQ(options.exitAfter, 5);
    EXPECT_EQ(options.failTowerWrites, 2);
    EXPECT_EQ(options.lateAfter, 4);
    EXPECT_EQ(options.lateMs, 10u);
    EXPECT_EQ(options.changeSizeAfter, 6);
    EXPECT_EQ(options.changeIdAfter, 7);
    EXPECT_EQ(options.garbageAfter, 8);
    EXPECT_EQ(options.faultCount, 9);
    EXPECT_DOUBLE_EQ(options.zeroVersionsFor, 2.5);
    EXPECT_EQ(options.seed.interfaceVersion, 1u);
    EXPECT_EQ(options.seed.fsDir, "D:\\FS9");

    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--class", "OTHER"},
                                               {"--speed", "0"},
                                               {"--stop-after", "-1"},
                                               {"--fault-count", "0x40000001"},
                                               {"--garbage-after"},
                                               {"--version-words", "1"},
                                               {"--zero-versions-for", "-1"},
                                               {"--fs-dir", std::string(261, 'a')},
                                               {"--record"},
                                               {"--bogus"}}) {
        bad.insert(bad.begin(), "kestrel-sim");
        std::vector<char*> args;
        for (std::string& w : bad)
            args.push_back(w.data());
        sim::Options ignored;
        EXPECT_FALSE(sim::parseOptions(static_cast<int>(args.size()), args.data(), ignored, error)) << bad[1];
    }
}

TEST(Core, FaultsAndTheEnd) {
    sim::Scenario scenario;
    std::string error;
    ASSERT_TRUE(sim::parseScenario("0,1,2,3,118.1,118.1,0x80,1,0,0\n5,1,2,3,118.1,118.1,0x80,1,0,0\n",
                                   scenario, error));
    double now = 0;
    std::vector<std::string> records, log;
    sim::Options options;
    options.stopAfter = 2;
    options.exitAtEnd = true;
    options.speed = 2;
    sim::Core core(
        options, scenario, [&] { return now; }, [&](const std::string& l) { records.push_back(l); },
        [&](const std::string& l) { log.push_back(l); });
    BlockBuilder block;
    block.write(0x0D60, std::vector<uint8_t>(8, 0)).word(0);
    uint32_t reply = 9;
    EXPECT_TRUE(core.handle(block.bytes.data(), block.bytes.size(), reply));
    EXPECT_EQ(reply, 1u);
    std::vector<uint8_t> broken(16, 0);
    putU32(&broken[0], 2);
    putU32(&broken[4], 0x10);
    putU32(&broken[8], 255);  // data past the block
    EXPECT_TRUE(core.handle(broken.data(), broken.size(), reply));
    EXPECT_EQ(reply, 0u);  // refused, and said why
    EXPECT_EQ(log.size(), 1u);
    EXPECT_FALSE(core.handle(block.bytes.data(), block.bytes.size(), reply));  // the third goes unanswered
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].find("{\"msg\":1,\"time\":0.000,\"towerAlt\":0.000000000"), 0u);
    EXPECT_FALSE(core.finished());
    now = 2.6;  // 5.2 scenario seconds: past the last row
    EXPECT_TRUE(core.finished());
}

// Each reply fault hits the messages after its start for --fault-count messages, on a block carried out
// (and recorded) as usual except for garbage.
TEST(Core, ReplyFaultsHitTheirWindowThenClear) {
    struct Case {
        int64_t sim::Options::*fault;
        uint32_t identifier, size;  // the first record's header in a faulted reply
        bool recorded;
    } cases[] = {
        {&sim::Options::changeSizeAfter, 2, 8 + 4096, true},
        {&sim::Options::changeIdAfter, 1, 8, true},
        {&sim::Options::garbageAfter, 0, 0, false},  // 0: anything but the block as sent
    };
    for (const Case& c : cases) {
        sim::Options options;
        options.*c.fault = 1;
        options.faultCount = 2;
        std::vector<std::string> records;
        sim::Core core(
            options, sim::Scenario{}, [] { return 0.0; },
            [&](const std::string& l) { records.push_back(l); }, nullptr);
        std::vector<bool> hit;
        for (int message = 1; message <= 4; ++message) {
            BlockBuilder block;
            block.write(0x0D60, std::vector<uint8_t>(8, 7)).word(0);
            const std::vector<uint8_t> sent = block.bytes;
            uint32_t reply = 0;
            ASSERT_TRUE(core.handle(block.bytes.data(), block.bytes.size(), reply));
            EXPECT_EQ(reply, 1u);
            hit.push_back(block.bytes != sent);
            if (c.identifier != 0 && block.bytes != sent) {
                EXPECT_EQ(block.bytes[0], c.identifier);
                EXPECT_EQ(block.bytes[8] | (block.bytes[9] << 8), static_cast<int>(c.size));
            }
        }
        EXPECT_EQ(hit, (std::vector<bool>{false, true, true, false}));
        EXPECT_EQ(records.size(), c.recorded ? 4u : 2u);
    }
}

}  // namespace
