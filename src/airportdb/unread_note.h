// kestrel.dat.unread, beside kestrel.dat: which airport files a build found but could not read, kept
// when that build was therefore not stored, so that the next build can tell whether the same files
// fail again (then they fail for good, and that build is stored without them). 24 bytes, little-endian:
// "KUNR", the number of files, the MD5 digest of their paths. Anything else is no note.
#pragma once

#include <cstdint>

#include "scenery/md5.h"

constexpr const char kUnreadSuffix[] = ".unread";  // the file's name: databasePath with this appended

// 1 when the note names `count` files with these paths' digest, else 0 (also when there is none).
int unreadNoteMatches(uint32_t count, const Digest& paths);

// Writes the note. A note that cannot be written is no note: the next build is not stored either.
void writeUnreadNote(uint32_t count, const Digest& paths);

// Removes the note, once a build was stored.
void removeUnreadNote();
