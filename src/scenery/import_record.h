// What a build saw of the scenery's airport files: the stamp of every file that a layer index flags as
// holding airports, so that a later start can tell whether one changed since, and the files that are
// there but could not be read, so that a build that missed them is not kept as if it were complete and
// a later start can tell when they can be read again. And whether memory ran out for anything the
// import read: such a build is never kept.
#pragma once

#include <cstdint>

#include "scenery/file_stamp.h"
#include "scenery/md5.h"

// One airport file of the library, by its place instead of its path (paths differ between the native
// and the Windows builds; the place does not).
struct ImportedFile {
    uint32_t layer = 0;  // index in the layer list (0: the highest layer)
    uint32_t entry = 0;  // entry of that layer's index, in its offset table's order
    FileStamp stamp;     // taken before the file was opened
    int unread = 0;      // 1: there, but it could not be opened or mapped
};

struct ImportRecord {
    ImportedFile* files = nullptr;  // in the order the import met them
    uint32_t count = 0;
    uint32_t capacity = 0;
    uint32_t layer = 0;        // the layer being imported: the build sets it before each layer index
    int complete = 1;          // 0 once memory ran out for a file's stamp, an airport or a runway
    uint32_t unreadCount = 0;  // files that are there but could not be opened or mapped
    Md5Context unreadPaths;    // their paths in the order met, each with its NUL
};

extern ImportRecord importRecord;

// Empties the record for a new build.
void startImportRecord();

// Adds a file of the current layer.
void recordAirportFile(uint32_t entry, const FileStamp& stamp);

// Counts a file that is there but could not be read: the one recordAirportFile added last.
void recordUnreadFile(const char* path);

// Marks the build incomplete: memory ran out and something of the scenery was dropped.
void markImportIncomplete();

// The digest of the unread files' paths: two builds that could not read the same files give the same.
Digest unreadFilesDigest();

// Frees the record and leaves it empty.
void releaseImportRecord();
