// The simulator's installation folder, as the simulator link determines it during start-up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core_state.h"

// A Windows path of at most 259 characters ending with a backslash once set; empty at start.
// Relative scenery paths are taken from here.
extern char basedir[kPathBufferSize];

// Asks the simulator for its folder over the open link, completes it with a backslash and checks that
// it opens (verifyBaseDir). 1 when basedir is set and accessible; otherwise 0 after a level-0 line.
int determineBaseDir();

// The rest of determineBaseDir for a folder text from elsewhere (the command line): `reported` must end
// within `size` bytes. Logs `reportedBy` and the text at level 4, then completes and checks it.
int useBaseDir(const char* reported, size_t size, const char* reportedBy);

// Prefers the local folder of a simulator running on this machine over a network (UNC) folder, unless
// the forceFsPathToUNC setting keeps the network one, and checks access. A local folder without a
// readable scenery.cfg (WideClient's, on a networked machine) does not count. 1 when basedir is usable.
int verifyBaseDir();

// The folder (with its trailing backslash) of the executable of the simulator whose window runs on
// this machine, into `out` (kPathBufferSize bytes). 1 when found and a drive path.
int localSimDir(char* out);

// Where localSimDir gets the executable's file name; tests put their own in. Null: the platform's.
using SimExecutableQuery = int (*)(char* out, uint32_t size);
void useSimExecutableQuery(SimExecutableQuery query);
