// The runway lists of the airports being built, kept beside the records.
//
// While the database is built an airport's slot at offset 8 holds a 1-based index into this side table
// of list heads (0: no runway), so the record stays 88 bytes wherever pointers are 8 bytes wide. A list
// that becomes empty gives its index up: the slot is non-zero exactly while the airport has runways,
// as the dump's flag says.
// Lists run newest first. Nodes come from newRunwayNode, out of large blocks that releaseRunwayLists
// gives back whole: a build makes a node per runway of the world, and their memory is needed again
// for the 2-d tree at the build's end. Finalisation (tower_synthesis.h) empties each list and puts
// `singleRunway` into the slot; at the end of the build releaseRunwayLists() frees the table itself.
#pragma once

#include <cstdint>

#include "airportdb/airport.h"

constexpr uint32_t kRunwayListChunk = 4096;

// A fixed block of list heads. Heads never move once handed out, so a link stays valid while the
// caller walks or edits a list, even when other airports get lists meanwhile.
struct RunwayListChunk {
    RunwayNode* heads[kRunwayListChunk];
};

struct RunwayNodeBlock;

struct RunwayLists {
    RunwayListChunk** chunks = nullptr;  // `chunkCount` blocks in an array of `chunkCapacity`
    uint32_t chunkCount = 0;
    uint32_t chunkCapacity = 0;
    uint32_t count = 0;  // list heads handed out; the indices 1..count are valid
    RunwayNodeBlock* nodeBlocks = nullptr;  // newest first
    RunwayNode* freeNodes = nullptr;        // freed nodes, linked by `next`, handed out again first
};

extern RunwayLists runwayLists;

// A zeroed node that no list holds yet; null when memory ran out. It lives until freeRunwayNode or
// releaseRunwayLists.
RunwayNode* newRunwayNode();

// Gives a node that no list holds back.
void freeRunwayNode(RunwayNode* node);

// The newest runway of the airport, or null when it has none (or its slot holds no valid index).
RunwayNode* runwayListHead(const Airport* airport);

// The link that holds the head of the airport's list, for walking the list by links and unlinking in
// place. Gives the airport an empty list first when it has none. Null only when memory ran out.
RunwayNode** runwayListLink(Airport* airport);

// Puts `node` at the head of the airport's list. 0 (the node not linked, still the caller's) when
// memory ran out, else 1.
int pushRunway(Airport* airport, RunwayNode* node);

// The number of nodes in the airport's list.
uint32_t runwayListLength(const Airport* airport);

// Unlinks the node that `link` (a link of the airport's list, from runwayListLink or a node's `next`)
// points to and returns it, for the caller to give back with freeRunwayNode.
RunwayNode* unlinkRunway(Airport* airport, RunwayNode** link);

// Frees every node of the airport's list and leaves it without one; returns how many nodes there were.
uint32_t releaseRunwayList(Airport* airport);

// Frees every node and the side table; the indices handed out are void afterwards.
void releaseRunwayLists();
