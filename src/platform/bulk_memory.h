// Large blocks of fresh memory that are written whole right after they are taken (the loaded
// airports, the 2-d tree's nodes, the build's work arrays).
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
