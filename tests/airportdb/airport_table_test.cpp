#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// The table as a build uses it: lookups between insertions, the order asked for only at the end, and
// a repeated identifier now and then; checked against a plain sorted list doing the same.
TEST_F(AirportTableTest, InterleavedLookupsAndInsertionsKeepTheSameOrderAsAPlainSortedList) {
    std::mt19937 random(11);
    std::vector<Airport*> reference;  // newest first among equal identifiers
    char ident[8];
    for (int i = 0; i < 5000; ++i) {
        std::snprintf(ident, sizeof ident, "%c%03u", 'A' + static_cast<int>(random() % 26),
                      static_cast<unsigned>(random() % 400));
        Airport* existing = nullptr;
        for (Airport* a : reference)
            if (std::strcmp(a->ident, ident) == 0) existing = a;
        Airport* found = lookupAirport(ident);
        ASSERT_EQ(found != nullptr, existing != nullptr) << ident;
        if (found) {
            EXPECT_STREQ(found->ident, ident);
            if (random() % 50 != 0) continue;  // as the decoder does, mostly: merged, not inserted
        }
        Airport* a = airport(ident);
        ASSERT_EQ(insertAirport(a), 1);
        auto at = std::lower_bound(
            reference.begin(), reference.end(), a,
            [](const Airport* x, const Airport* y) { return std::strcmp(x->ident, y->ident) < 0; });
        reference.insert(at, a);
        if (i % 997 == 0) {  // the order asked for in the middle of it all
            ASSERT_EQ(airportCount(), reference.size());
            for (uint32_t k = 0; k < airportCount(); ++k)
                ASSERT_STREQ(airportAt(k)->ident, reference[k]->ident);
        }
    }
    ASSERT_EQ(airportCount(), reference.size());
    for (uint32_t k = 0; k < airportCount(); ++k) {
        ASSERT_STREQ(airportAt(k)->ident, reference[k]->ident);
        EXPECT_GE(findAirportIndex(reference[k]->ident), 0);
    }
    EXPECT_EQ(lookupAirport("A0000000"), nullptr);  // longer than any identifier
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
