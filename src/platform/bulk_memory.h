// Large blocks of fresh memory that are written whole right after they are taken (the loaded
// airports, the 2-d tree's nodes, the build's work arrays), and every block a build keeps its records
// in (airports, runways, the table, the file stamps), so that one hook makes memory run out for tests.
//
// Fresh memory costs one page fault per page on first touch, which for a few megabytes costs more
// than reading the database file. Where the system allows it the block is backed by large pages
// and faulted in at once; where it does not, it is an ordinary block.
#pragma once

#include <cstddef>

// A block of at least `size` bytes (contents unspecified), aligned for any type; null when memory ran
// out or `size` is 0.
void* platformAllocateBulk(size_t size);

// Returns a block of platformAllocateBulk; `size` is the size it was asked for. Null is ignored.
void platformReleaseBulk(void* block, size_t size);

// For tests of memory running out: asked with its size before each block is taken; a block it answers
// 0 for is not taken, as when memory ran out. Null, the default, takes every block.
using PlatformBulkLimit = int (*)(size_t size);
void platformSetBulkLimit(PlatformBulkLimit limit);
