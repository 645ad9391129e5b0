#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/bytes.h"

namespace {

TEST(Bytes, ReadsLittleEndianInsideTheView) {
    const uint8_t raw[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x00, 0x00, 0x80, 0x3F};
    ByteView v{raw, sizeof raw};
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint64_t u64 = 0;
    float f = 0;
    EXPECT_TRUE(readU16(v, 1, u16));
    EXPECT_EQ(u16, 0x0302);
    EXPECT_TRUE(readU32(v, 0, u32));
    EXPECT_EQ(u32, 0x04030201u);
    EXPECT_TRUE(readU64(v, 0, u64));
    EXPECT_EQ(u64, 0x0807060504030201ull);
    EXPECT_TRUE(readF32(v, 8, f));
    EXPECT_EQ(f, 1.0f);
}

TEST(Bytes, RefusesFieldsThatReachOutside) {
    const uint8_t raw[6] = {1, 2, 3, 4, 5, 6};
    ByteView v{raw, sizeof raw};
    uint32_t u32 = 77;
    uint8_t u8 = 77;
    EXPECT_TRUE(readU32(v, 2, u32));
    EXPECT_FALSE(readU32(v, 3, u32));  // one byte past the end
    EXPECT_FALSE(readU8(v, 6, u8));
    EXPECT_FALSE(readU32(v, std::numeric_limits<size_t>::max() - 1, u32));  // offset + size wraps
    EXPECT_EQ(u8, 77);
    EXPECT_FALSE(readU32(ByteView{}, 0, u32));
    EXPECT_EQ(v.sub(4, 2).size, 2u);
    EXPECT_EQ(v.sub(4, 3).size, 0u);
    EXPECT_EQ(v.sub(7, 0).size, 0u);
}

TEST(Bytes, StoresRoundTrip) {
    uint8_t buffer[8] = {};
    putU32(buffer, 0xDEADBEEF);
    putU16(buffer + 4, 0xCAFE);
    ByteView v{buffer, sizeof buffer};
    uint32_t u32;
    uint16_t u16;
    ASSERT_TRUE(readU32(v, 0, u32));
    ASSERT_TRUE(readU16(v, 4, u16));
    EXPECT_EQ(buffer[0], 0xEF);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(u16, 0xCAFE);
    putU64(buffer, 0x0102030405060708ull);
    EXPECT_EQ(buffer[7], 0x01);
}

}  // namespace
