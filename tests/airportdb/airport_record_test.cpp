#include <gtest/gtest.h>

#include <vector>

#include "airportdb/airport_dump.h"
#include "airportdb/airport_fixtures.h"
#include "support/log_capture.h"

namespace {

using RunwayListTest = RecordsTest;
using AirportDumpTest = RecordsTest;

TEST_F(RunwayListTest, ListsRunNewestFirstBehindOneBasedIndices) {
    Airport* a = airport("AAAA");
    Airport* b = airport("BBBB");
    EXPECT_EQ(runwayListHead(a), nullptr);
    RunwayNode* a1 = runway(a, 0, 0, 1000, 10);
    RunwayNode* b1 = runway(b, 0, 0, 1000, 10);
    RunwayNode* a2 = runway(a, 0, 0, 2000, 20);
    EXPECT_EQ(a->runways, 1u);
    EXPECT_EQ(b->runways, 2u);
    EXPECT_EQ(runwayListHead(a), a2);
    EXPECT_EQ(a2->next, a1);
    EXPECT_EQ(runwayListHead(b), b1);
    EXPECT_EQ(runwayListLength(a), 2u);

    // Unlinking in place through the links, as a runway deletion does; an emptied list leaves the slot
    // 0, as for an airport that never had a runway.
    EXPECT_EQ(unlinkRunway(a, &a2->next), a1);
    freeRunwayNode(a1);
    EXPECT_EQ(runwayListLength(a), 1u);
    EXPECT_EQ(a->runways, 1u);
    freeRunwayNode(unlinkRunway(a, runwayListLink(a)));
    EXPECT_EQ(a->runways, 0u);
    EXPECT_EQ(releaseRunwayList(b), 1u);
    EXPECT_EQ(runwayListHead(b), nullptr);
    EXPECT_EQ(b->runways, 0u);
}

TEST_F(RunwayListTest, LinksStayValidWhileManyMoreAirportsGetLists) {
    Airport* first = airport("FRST");
    RunwayNode** link = runwayListLink(first);
    for (int i = 0; i < 3 * static_cast<int>(kRunwayListChunk); ++i)
        runway(airport("MANY"), 0, 0, 100, 0);
    RunwayNode* r = newRunwayNode();
    *link = r;
    EXPECT_EQ(runwayListHead(first), r);
    EXPECT_EQ(runwayListLink(first), link);
    EXPECT_EQ(runwayLists.count, 3 * kRunwayListChunk + 1);
    releaseRunwayLists();  // frees every node still listed
    EXPECT_EQ(runwayLists.count, 0u);
    EXPECT_EQ(runwayListHead(first), nullptr);  // a stale index reads as no list
}

TEST_F(AirportDumpTest, WritesTheWholeRecordOnOneLine) {
    Airport* a = airport("LSZH", 45.0, 45.0);
    std::strcpy(a->name, "Zurich");
    a->apAlt = 432100;
    a->runwayCount = 2;
    a->twrLat = rawLat(22.5);
    a->twrLon = rawLon(-90.0);
    a->twrAlt = 445500;
    a->towerCom[0] = 1100;
    a->towerCom[1] = 1725;
    a->towerCom[2] = 19975;
    a->distanceNm = 12.5f;
    LogCapture log(4);
    dumpAirport(a, 4);
    runway(a, 0, 0, 1, 1);
    dumpAirport(a, 4);
    EXPECT_EQ(
        log.text(),
        "LSZH\tZurich: AP @(45.000000, 45.000000, 432.100000), 2 rwys (nf); TWR @(22.500000, -90.000000, "
        "445.500000) COM @ {118.100 118.725 136.975 0.000 0.000 0.000 0.000 0.000} dst 12.500000 nm\r\n"
        "LSZH\tZurich: AP @(45.000000, 45.000000, 432.100000), 2 rwys (F); TWR @(22.500000, -90.000000, "
        "445.500000) COM @ {118.100 118.725 136.975 0.000 0.000 0.000 0.000 0.000} dst 12.500000 nm\r\n");
}

TEST_F(AirportDumpTest, FlagTestsTheSlotBytesAndTextStaysInsideTheRecord) {
    Airport* a = airport("");
    std::memset(a->ident, 'I', sizeof a->ident);
    a->runwayCount = 0;
    std::memset(a->name, 'N', sizeof a->name);  // no NUL anywhere in the text fields
    a->singleRunway = -0.0f;                    // equal to 0.0, but its bits are not zero
    LogCapture log(5);
    dumpAirport(a, 5);
    EXPECT_EQ(log.text().substr(0, 42), "IIIIIII\t" + std::string(32, 'N') + ": ");
    EXPECT_TRUE(log.contains(" rwys (F); "));
}

TEST_F(AirportDumpTest, NoRecordWritesItsOwnLineAtTheRequestedLevel) {
    LogCapture log(2);
    dumpAirport(nullptr, 3);
    EXPECT_EQ(log.text(), "");
    dumpAirport(nullptr, 2);
    EXPECT_EQ(log.text(), "airport == NULL\r\n");
}

}  // namespace
