#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "airportdb/airport_fixtures.h"

namespace {

using AirportTableTest = RecordsTest;

TEST_F(AirportTableTest, EmptyTableFindsNothingAndFirstInsertionAllocates32768) {
    EXPECT_EQ(findAirportIndex("KJFK"), -1);
    EXPECT_EQ(lookupAirport("KJFK"), nullptr);
    EXPECT_EQ(airportAt(0), nullptr);
    ASSERT_EQ(insertAirport(airport("KJFK")), 1);
    EXPECT_EQ(airportTable.capacity, 32768u);
    EXPECT_EQ(airportCount(), 1u);
}

TEST_F(AirportTableTest, KeepsByteOrderAndGivesComplementsOfInsertionPoints) {
    for (const char* id : {"KJFK", "EDDF", "A0", "EDD", "0A", "EDDFX"})
        insertAirport(airport(id));
    // Digits before letters, a prefix before its extensions.
    const char* order[] = {"0A", "A0", "EDD", "EDDF", "EDDFX", "KJFK"};
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_STREQ(airportAt(i)->ident, order[i]);
        EXPECT_EQ(findAirportIndex(order[i]), static_cast<int32_t>(i));
        EXPECT_EQ(lookupAirport(order[i]), airportAt(i));
    }
    EXPECT_EQ(findAirportIndex("ZZZZ"), ~6);  // beyond every identifier: complement of the count
    EXPECT_EQ(findAirportIndex("00"), -1);    // before every identifier
    EXPECT_EQ(findAirportIndex("EDDE"), ~3);
    EXPECT_EQ(findAirportIndex("edd"), ~6);  // case-sensitive: lower case sorts after upper case
    EXPECT_EQ(lookupAirport("EDDG"), nullptr);
    EXPECT_EQ(airportAt(6), nullptr);
}

TEST_F(AirportTableTest, RepeatedIdentifierGoesBeforeTheExistingRecord) {
    Airport* first = airport("LSZH");
    Airport* second = airport("LSZH");
    insertAirport(airport("LSGG"));
    insertAirport(first);
    insertAirport(second);
    EXPECT_EQ(airportAt(1), second);
    EXPECT_EQ(airportAt(2), first);
}

TEST_F(AirportTableTest, The32769thInsertionDoublesTheArrayAndKeepsTheOrder) {
    std::vector<int> numbers(32769);
    for (int i = 0; i < 32769; ++i)
        numbers[i] = i;
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(7));
    char ident[16];
    for (int n : numbers) {
        std::snprintf(ident, sizeof ident, "%05d", n);
        ASSERT_EQ(insertAirport(airport(ident)), 1);
        EXPECT_EQ(airportTable.capacity, airportCount() <= 32768 ? 32768u : 65536u);
    }
    for (uint32_t i = 0; i < airportCount(); ++i) {
        std::snprintf(ident, sizeof ident, "%05u", i);
        ASSERT_STREQ(airportAt(i)->ident, ident);
    }
    EXPECT_EQ(findAirportIndex("32768"), 32768);
}

TEST_F(AirportTableTest, UnterminatedIdentifierIsComparedWithinItsSevenBytes) {
    Airport* a = airport("");
    std::memcpy(a->ident, "ABCDEFG", 7);  // no NUL: the runway count byte follows
    a->runwayCount = 'Z';
    insertAirport(a);
    EXPECT_EQ(findAirportIndex("ABCDEFG"), 0);
    EXPECT_EQ(findAirportIndex("ABCDEFGA"), ~1);
}

TEST_F(AirportTableTest, ReleasedTableKeepsItsCountAndIsNeverReadAgain) {
    insertAirport(airport("EGLL"));
    insertAirport(airport("EGKK"));
    releaseAirportTable();
    EXPECT_EQ(airportCount(), 2u);
    EXPECT_EQ(airportAt(0), nullptr);
    EXPECT_EQ(lookupAirport("EGLL"), nullptr);
    // A late insertion starts a new table instead of writing through the freed array.
    ASSERT_EQ(insertAirport(airport("EGSS")), 1);
    EXPECT_EQ(airportCount(), 1u);
    EXPECT_STREQ(airportAt(0)->ident, "EGSS");
}

}  // namespace
