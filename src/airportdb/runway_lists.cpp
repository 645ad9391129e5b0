#include "airportdb/runway_lists.h"

#include <new>

#include "core/log.h"
#include "platform/bulk_memory.h"

RunwayLists runwayLists;

namespace {

// 256 KiB a block: few blocks for a world of runways, little left unused by a small library.
constexpr uint32_t kRunwayNodesPerBlock = 262144 / sizeof(RunwayNode);

// One page of chunk pointers at first: millions of lists before it grows.
constexpr uint32_t kFirstChunkCapacity = 4096 / sizeof(RunwayListChunk*);

size_t chunkArraySize(uint32_t capacity) {
    return sizeof(RunwayListChunk*) * static_cast<size_t>(capacity);
}

}  // namespace

struct RunwayNodeBlock {
    RunwayNodeBlock* next;
    uint32_t used;
    RunwayNode nodes[kRunwayNodesPerBlock];
};

namespace {

// The head link for a 1-based index, or null when the index was never handed out.
RunwayNode** headLink(uint32_t index) {
    if (index == 0 || index > runwayLists.count) return nullptr;
    uint32_t i = index - 1;
    return &runwayLists.chunks[i / kRunwayListChunk]->heads[i % kRunwayListChunk];
}

// Hands out the next index, growing the side table when needed; 0 when memory ran out.
uint32_t newListIndex() {
    RunwayLists& t = runwayLists;
    if (t.count == UINT32_MAX) return 0;
    uint32_t chunk = t.count / kRunwayListChunk;
    if (chunk == t.chunkCount) {
        if (t.chunkCount == t.chunkCapacity) {
            uint32_t capacity = t.chunkCapacity ? t.chunkCapacity * 2 : kFirstChunkCapacity;
            auto** grown = static_cast<RunwayListChunk**>(platformAllocateBulk(chunkArraySize(capacity)));
            if (!grown) return 0;
            for (uint32_t i = 0; i < t.chunkCount; ++i)
                grown[i] = t.chunks[i];
            platformReleaseBulk(t.chunks, chunkArraySize(t.chunkCapacity));
            t.chunks = grown;
            t.chunkCapacity = capacity;
        }
        void* block = platformAllocateBulk(sizeof(RunwayListChunk));
        if (!block) return 0;
        t.chunks[t.chunkCount++] = new (block) RunwayListChunk{};
    }
    return ++t.count;
}

// Gives the list's nodes back and leaves it empty; returns how many there were.
uint32_t freeList(RunwayNode*& head) {
    uint32_t n = 0;
    while (head) {
        RunwayNode* next = head->next;
        freeRunwayNode(head);
        head = next;
        ++n;
    }
    return n;
}

}  // namespace

RunwayNode* newRunwayNode() {
    RunwayLists& t = runwayLists;
    RunwayNode* node = t.freeNodes;
    if (node) {
        t.freeNodes = node->next;
    } else {
        RunwayNodeBlock* block = t.nodeBlocks;
        if (!block || block->used == kRunwayNodesPerBlock) {
            block = static_cast<RunwayNodeBlock*>(platformAllocateBulk(sizeof(RunwayNodeBlock)));
            if (!block) return nullptr;
            block->next = t.nodeBlocks;
            block->used = 0;
            t.nodeBlocks = block;
        }
        node = &block->nodes[block->used++];
    }
    *node = RunwayNode{};
    return node;
}

void freeRunwayNode(RunwayNode* node) {
    node->next = runwayLists.freeNodes;
    runwayLists.freeNodes = node;
}

RunwayNode* runwayListHead(const Airport* airport) {
    RunwayNode** link = headLink(airport->runways);
    return link ? *link : nullptr;
}

RunwayNode** runwayListLink(Airport* airport) {
    if (RunwayNode** link = headLink(airport->runways)) return link;
    uint32_t index = newListIndex();
    if (index == 0) {
        logMessage(0, "Out of memory for the runway list of %s", airportText(airport).ident);
        return nullptr;
    }
    airport->runways = index;
    return headLink(index);
}

int pushRunway(Airport* airport, RunwayNode* node) {
    RunwayNode** link = runwayListLink(airport);
    if (!link) return 0;
    node->next = *link;
    *link = node;
    return 1;
}

uint32_t runwayListLength(const Airport* airport) {
    uint32_t n = 0;
    for (const RunwayNode* r = runwayListHead(airport); r; r = r->next)
        ++n;
    return n;
}

RunwayNode* unlinkRunway(Airport* airport, RunwayNode** link) {
    RunwayNode* node = *link;
    *link = node->next;
    if (!runwayListHead(airport)) airport->runways = 0;
    return node;
}

uint32_t releaseRunwayList(Airport* airport) {
    RunwayNode** link = headLink(airport->runways);
    airport->runways = 0;
    return link ? freeList(*link) : 0;
}

void releaseRunwayLists() {
    RunwayLists& t = runwayLists;
    for (uint32_t c = 0; c < t.chunkCount; ++c)
        platformReleaseBulk(t.chunks[c], sizeof(RunwayListChunk));
    platformReleaseBulk(t.chunks, chunkArraySize(t.chunkCapacity));
    for (RunwayNodeBlock* block = t.nodeBlocks; block;) {
        RunwayNodeBlock* next = block->next;
        platformReleaseBulk(block, sizeof(RunwayNodeBlock));
        block = next;
    }
    t = RunwayLists{};
}
