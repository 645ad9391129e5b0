// The tower position and the on-screen text as the simulator receives them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "fake_transport.h"
#include "simlink/ipc_client.h"
#include "simlink/sim_output.h"
#include "support/log_capture.h"

namespace {

struct Write {
    uint32_t offset;
    std::vector<uint8_t> data;
};

// The write records of the last block the server saw.
std::vector<Write> writesIn(const uint8_t* block) {
    ByteView view{block, 0x8000};
    std::vector<Write> writes;
    size_t at = 0;
    uint32_t kind = 0, offset = 0, size = 0;
    while (readU32(view, at, kind) && kind == 2 && readU32(view, at + 4, offset) &&
           readU32(view, at + 8, size)) {
        writes.push_back(Write{offset, std::vector<uint8_t>(block + at + 12, block + at + 12 + size)});
        at += 12 + size;
    }
    return writes;
}

int64_t i64(const std::vector<uint8_t>& data) {
    uint64_t value = 0;
    readU64(ByteView{data.data(), data.size()}, 0, value);
    return static_cast<int64_t>(value);
}

class SimOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<FakeServer>();
        installFakeServer(server.get());
        LogCapture quiet(0);
        config.reset(configDefaults());
        core.config = config.get();
        setLogLevel(-1);
    }
    void TearDown() override {
        removeFakeServer();
        core = CoreState{};
    }
    std::unique_ptr<FakeServer> server;
    std::unique_ptr<Config> config;
};

TEST_F(SimOutputTest, TextIsSentAsAZeroFilled128ByteField) {
    EXPECT_EQ(simShowText("Tower @ LSZH (Zurich)", 5), 1);  // opens the link itself
    std::vector<Write> writes = writesIn(server->block);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].offset, 0x3380u);
    ASSERT_EQ(writes[0].data.size(), 128u);
    EXPECT_EQ(std::string(writes[0].data.begin(), writes[0].data.begin() + 21), "Tower @ LSZH (Zurich)");
    EXPECT_EQ(std::vector<uint8_t>(writes[0].data.begin() + 21, writes[0].data.end()),
              std::vector<uint8_t>(107, 0));
    EXPECT_EQ(
        server->records.back(),
        "{\"msg\":2,\"time\":0.000,\"text\":\"Tower @ LSZH (Zurich)\",\"textSize\":128,\"textSeconds\":5}");

    EXPECT_EQ(simShowText(std::string(200, 'x').c_str(), 5), 1);
    writes = writesIn(server->block);
    EXPECT_EQ(std::string(writes[0].data.begin(), writes[0].data.begin() + 127), std::string(127, 'x'));
    EXPECT_EQ(writes[0].data[127], 0);
}

// The display time is the interface's 16-bit word: the word behind it, the interface's count of aircraft
// changes that other add-ons watch, keeps its value through every text.
TEST_F(SimOutputTest, DisplayTimeIsA16BitWordThatTakesTheNearerEndOfItsRange) {
    const uint8_t* changes = server->core().memory().bytes.data() + 0x32FC;
    const std::vector<uint8_t> before(changes, changes + 2);
    ASSERT_NE(before, std::vector<uint8_t>(2, 0));
    const int32_t cases[][2] = {{5, 5},           {0, 0},           {-1, -1},          {40000, 32767},
                                {-40000, -32768}, {INT32_MIN, -32768}, {INT32_MAX, 32767}};
    for (const auto& c : cases) {
        ASSERT_EQ(simShowText("x", c[0]), 1) << c[0];
        const std::vector<Write> writes = writesIn(server->block);
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[1].offset, 0x32FAu);
        EXPECT_EQ(writes[1].data, (std::vector<uint8_t>{uint8_t(c[1]), uint8_t(c[1] >> 8)})) << c[0];
        const std::string& record = server->records.back();
        EXPECT_NE(record.find(",\"textSeconds\":" + std::to_string(c[1]) + "}"), std::string::npos) << record;
        EXPECT_EQ(std::vector<uint8_t>(changes, changes + 2), before) << c[0];
    }
}

TEST_F(SimOutputTest, TextFailures) {
    server->fs98Main = false;
    LogCapture log(0);
    EXPECT_EQ(simShowText("x", 5), 0);
    EXPECT_EQ(log.text(), "FSUIPC connection failed: Cannot link to FSUIPC or WideClient\r\n");

    server->fs98Main = true;
    ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
    server->failingSends = -1;
    EXPECT_EQ(simShowText("x", 5), 0);
    EXPECT_EQ(ipcLink.view, nullptr);   // closed for the next poll to reopen
    EXPECT_EQ(log.text().size(), 63u);  // nothing more logged
}

TEST_F(SimOutputTest, TowerWritesAltitudeLatitudeLongitudeAndTheZoomOnlyWhenAsked) {
    ASSERT_EQ(ipcOpen(0, &ipcResult), 1);
    EXPECT_EQ(simSetTower(90.0, -180.0, 0.5, 0), 1);
    std::vector<Write> writes = writesIn(server->block);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].offset, 0x0D60u);
    EXPECT_EQ(i64(writes[0].data), int64_t{1} << 31);
    EXPECT_EQ(writes[1].offset, 0x0D50u);
    EXPECT_EQ(i64(writes[1].data), 42957189152768000);
    EXPECT_EQ(writes[2].offset, 0x0D58u);
    EXPECT_EQ(static_cast<uint64_t>(i64(writes[2].data)), 0x8000000000000000ull);

    config->zoomLevel = 0x12345;  // only the low half goes out
    EXPECT_EQ(simSetTower(47.5, 8.5, 430.0, 1), 1);
    writes = writesIn(server->block);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[3].offset, 0x8330u);
    EXPECT_EQ(writes[3].data, (std::vector<uint8_t>{0x45, 0x23}));
    EXPECT_NE(server->records.back().find("\"towerLat\":47.500000000,"), std::string::npos)
        << server->records.back();
    EXPECT_NE(server->records.back().find("\"towerAlt\":430.000000000,\"towerAltRaw\":1846835937280"),
              std::string::npos);
    EXPECT_NE(server->records.back().find("\"zoom\":9029"), std::string::npos);
}

TEST_F(SimOutputTest, TowerOnAClosedLinkSendsNothing) {
    EXPECT_EQ(simSetTower(47.5, 8.5, 430.0, 1), 0);
    EXPECT_EQ(ipcResult, kIpcNotOpen);
    EXPECT_EQ(server->sends, 0);
    EXPECT_EQ(ipcLink.view, nullptr);
}

TEST(TowerUnits, TruncateTowardZeroAndNeverLeaveTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(towerLatitudeUnits(90.0), 42957189152768000);
    EXPECT_EQ(towerLatitudeUnits(-45.5), -21717245627232711);
    EXPECT_EQ(towerLatitudeUnits(1e300), INT64_MAX);
    EXPECT_EQ(towerLatitudeUnits(-inf), INT64_MIN);
    EXPECT_EQ(towerLatitudeUnits(nan), 0);
    EXPECT_EQ(towerLongitudeUnits(90.0), int64_t{1} << 62);
    EXPECT_EQ(towerLongitudeUnits(180.0), INT64_MIN);
    EXPECT_EQ(towerLongitudeUnits(-180.0), INT64_MIN);
    EXPECT_EQ(towerLongitudeUnits(270.0), -(int64_t{1} << 62));  // a full turn further is the same meridian
    EXPECT_EQ(towerLongitudeUnits(-450.0), -(int64_t{1} << 62));
    EXPECT_EQ(towerLongitudeUnits(inf), 0);
    EXPECT_EQ(towerLongitudeUnits(nan), 0);
    EXPECT_EQ(towerAltitudeUnits(0.5), int64_t{1} << 31);
    EXPECT_EQ(towerAltitudeUnits(-1.5 / 4294967296.0), -1);
    EXPECT_EQ(towerAltitudeUnits(3e9), INT64_MAX);
    EXPECT_EQ(towerAltitudeUnits(-3e9), INT64_MIN);
}

}  // namespace
