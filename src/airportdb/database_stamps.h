// kestrel.dat.stamps, beside kestrel.dat: the size and last-write time of every airport file of the
// scenery library as the build that wrote kestrel.dat found it, so that a start notices a BGL file
// edited in place (which leaves every scenery.dat, and so every digest of kestrel.dat, unchanged), and
// which of them that build could not read, so that a start notices one that can be read again.
//
// Layout, all little-endian, exactly 32 + 28 * S bytes:
//   0  4  "KSTP"
//   4  4  format version 2
//   8  4  the header word of the kestrel.dat it belongs to
//  12  8  that kestrel.dat's size
//  20  8  and its last-write time (FILETIME ticks): any other kestrel.dat, even one with the same
//         airports, is written at another time, so stamps never pass a file they do not describe
//  28  4  S, the number of airport files
//  32     S times: layer (index in the layer list), entry (in that layer's index), flags, size,
//         last-write time (u32, u32, u32, u64, u64), in import order: layers from the lowest up, entries
//         in table order. Flags: kStampUnread, or 0.
// Files are named by their place, not their path, so the native and the Windows builds write the same
// stamps for the same library. A file that was not there has the size kStampNoFile.
// Version 1 (24-byte records without flags, and databases whose frequencies were cut to the kHz
// instead of rounded) is not trusted: every database is built once more.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char kStampsSuffix[] = ".stamps";  // the file's name: databasePath with this appended
constexpr uint32_t kStampsVersion = 2;
constexpr uint32_t kStampsHeaderSize = 32;
constexpr uint32_t kStampSize = 28;
constexpr uint32_t kStampUnread = 1;  // the file was there, but the build could not read it
constexpr uint32_t kStampsMaxFiles = 1u << 22;  // far more than any library: a larger count is damage

// Writes the stamps of importRecord for the kestrel.dat now at databasePath (whose header word is
// `headerWord`), under a temporary name, flushed, then renamed into place. Returns 1; 0 after a
// level-2 line when they could not be stored (the kestrel.dat then never loads).
int writeDatabaseStamps(uint32_t headerWord);

// Compares the stamps beside databasePath with the airport files of the current layer list, for the
// kestrel.dat just loaded with `recordCount` records. Returns 1 when it still describes them. Else 0,
// after a line that says why: level 3 naming the first file that changed, appeared, went or, unread by
// the build, can be read now (mapped quietly, as the import maps it); level 4 when the stamps are
// missing or belong to another kestrel.dat. `why` (size `whySize`, may be null) then receives the
// reason in a few words, for a caller that gives it elsewhere.
int checkDatabaseStamps(uint32_t recordCount, char* why, size_t whySize);
