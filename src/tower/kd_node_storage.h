// Where the 2-d tree's nodes live: blocks of nodes that the index frees whole, so neither an insertion
// nor a release allocates or frees one node at a time. Shared by the insertion and the one-pass build.
#pragma once

#include <cstdint>

struct Airport;
struct KdNode;

// A run of `count` fresh nodes, contiguous, owned by the index; null when memory ran out.
KdNode* kdTakeNodes(uint32_t count);

// Makes sure a search over a tree of `height` levels has its frames; 0 when memory ran out.
int kdReserveFrames(uint32_t height);

// Fills a leaf for the point, with the sine and cosine of the airport's reference latitude.
void kdFillNode(KdNode* node, const double point[2], Airport* airport, double sinLat, double cosLat);
