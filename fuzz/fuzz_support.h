// What the fuzz targets share: a private folder on a memory file system for the files an input turns
// into, a log that formats every line but prints nothing, one input split into several files, the
// one-area scenery library the import targets build from, and the reset of what a build leaves behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/bytes.h"

namespace fuzz {

// Separates the parts of an input that stands for several files. libFuzzer learns it from the memmem
// that looks for it.
constexpr char kPartSeparator[] = "--kestrel-part--";
constexpr size_t kPartSeparatorLength = sizeof kPartSeparator - 1;

// The parts of `data` between separators (at least one, possibly empty).
std::vector<ByteView> splitParts(const uint8_t* data, size_t size);
// The parts joined again, for the seed writer.
std::string joinParts(const std::vector<std::string>& parts);

// This process's folder: under /dev/shm when it exists, else the temporary folder; removed at exit.
const std::string& workDir();

// Writes `size` bytes to the native path `path` (replacing the file), creating missing folders
// below workDir() when `makeFolders` is set. Every write gives the file a modification time of its own,
// so a reader that caches a file by size and time never takes it for the previous input. False when the
// file could not be written.
bool writeFile(const std::string& path, const void* data, size_t size, bool makeFolders = false);

// Every log line formatted up to `level` (so every argument of every line is used), nothing printed.
void quietLog(int32_t level = 5);

// The simulator folder of the import targets, workDir()/sim, as the program names it (basedir form:
// native path with a trailing backslash).
std::string simFolder();

// Writes scenery.cfg with one active area, "Scenery\Fuzz", and its layer index at
// simFolder()/Scenery/Fuzz/scenery.dat (the bytes of `sceneryDat`), sets basedir, the database path
// (workDir()/kestrel.dat), a default configuration and the silent progress display, and reads the library.
// Aborts when that fails: the targets cannot run without it.
void setUpOneAreaLibrary(const std::string& sceneryDat);
// The native path of the area's layer index.
std::string layerIndexPath();

// One build as the program runs it (buildDatabase over the library read by setUpOneAreaLibrary), with
// log lines formatted up to `logLevel`, then everything it left freed and reset, as at the next start.
void buildAndRelease(int32_t logLevel = 5);

// Empties the spatial index and frees every airport a build made.
void releaseIndexedAirports();

// The entries of a layer index in its offset table order, read as the walker reads them: the
// program path of each entry's BGL file (composeBglPath; empty when the name cannot be read or does
// not fit) and whether it is flagged as holding airports.
struct IndexEntry {
    std::string path;
    bool holdsAirports = false;
};
std::vector<IndexEntry> layerIndexEntries(ByteView index);

// The native path of a program path.
std::string nativeForm(const std::string& programPath);

}  // namespace fuzz
