// Read-only mappings of whole files, for walking scenery files in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"

// Creates a read-only mapping of the whole file (CreateFileMappingA). kInvalidHandle on failure, with
// the last error set; an empty file cannot be mapped and fails here on every platform.
PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file);

// Maps a read-only view of the whole mapping (MapViewOfFile) and stores the file's size in `length`.
// Null on failure, with the last error set.
const uint8_t* platformMapReadOnlyView(PlatformHandle file, PlatformHandle mapping, size_t& length);

// Releases a view returned by platformMapReadOnlyView.
void platformUnmapView(const uint8_t* view, size_t length);
