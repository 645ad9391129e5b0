// Read-only mappings of whole files, for walking scenery files in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"

// Creates a read-only mapping of the whole file (CreateFileMappingA). kInvalidHandle on failure, with
// the last error set; an empty file cannot be mapped and fails here on every platform.
PlatformHandle platformCreateReadOnlyMapping(PlatformHandle file);

// How a view's bytes will be read: all of them, front to back (digests, layer indexes), or only some
// parts, each asked for with platformPrefetchView before it is read (BGL files, mostly sections the
// import never looks at).
enum class ViewAccess { whole, parts };

// Maps a read-only view of the whole mapping (MapViewOfFile) and stores the file's size in `length`.
// Null on failure, with the last error set.
const uint8_t* platformMapReadOnlyView(PlatformHandle file, PlatformHandle mapping, size_t& length,
                                       ViewAccess access = ViewAccess::whole);

// Starts reading `size` bytes from `bytes` in ahead of use; the range must lie inside one view.
// Advice only: it cannot fail, and where the system has no way to ask it does nothing.
void platformPrefetchView(const uint8_t* bytes, size_t size);

// Releases a view returned by platformMapReadOnlyView.
void platformUnmapView(const uint8_t* view, size_t length);
