// The simulator's scenery library: which areas of scenery.cfg are active, in which order their layer
// index files (scenery.dat) are imported, and the digests that tell whether any of them changed.
#pragma once

#include <cstdint>

#include "scenery/md5.h"

// The layer list, highest layer first. Every path and digest is a heap block of its own.
struct LayerList {
    char* sceneryCfgPath = nullptr;   // base directory + "scenery.cfg"
    int32_t layerCount = 0;           // entries in layerPaths and layerDigests
    char** layerPaths = nullptr;      // full path of each layer's scenery.dat
    Digest** layerDigests = nullptr;  // digest of each layer's scenery.dat, same order
    Digest sceneryCfgDigest = {};     // all zero when scenery.cfg could not be digested
};

extern LayerList layerList;

// Fills the layer list from scenery.cfg under `basedir`. A layer whose index cannot be opened or has no
// digest is left out (level 2). Returns 1 when the list is ready, 0 when scenery.cfg's path would be
// too long or memory ran out (either said at level 0: the start ends there).
int readSceneryLibrary();

// Frees every path and digest of the layer list and leaves it empty.
void releaseSceneryLibrary();

// Tests that the file named by `path` (a buffer of kPathBufferSize characters) can be opened; when it
// cannot, tries the same file name one folder up, dropping a seven-letter folder such as "scenery" in
// front of it, and on success stores that path in `path`. Returns 1 when a file was found, else 0.
int locateSceneryDat(char* path);

// Puts `basedir` in front of `path` (a buffer of kPathBufferSize characters) unless it is absolute: a
// drive letter and colon, two leading backslashes (at least 7 characters), or an absolute path of the
// platform's own. Returns 1, or 0 with `path` unchanged when the result would not fit the buffer.
int makeAbsolutePath(char* path);
