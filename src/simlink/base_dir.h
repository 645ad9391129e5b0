// The simulator's installation folder, as the simulator link determines it during start-up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/core_state.h"
#include "simlink/fsuipc_offsets.h"
#include "platform/sim_folder.h"
#include "platform/virtual_store.h"

// A Windows path of at most 259 characters ending with a backslash once set; empty at start.
// Relative scenery paths are taken from here.
extern char basedir[kPathBufferSize];

// The line of a folder text that cannot be used.
constexpr const char* kSimFolderProblem = "Problem determining FS9 installation directory!";

// Asks the simulator for its folder over the open link, in one exchange, into `reported`. 1 when it
// answered (the text is empty while the interface does not know the simulator yet); 0 when the
// exchange failed (ipcResult says why). Says nothing.
int askSimFolder(char (&reported)[fsuipc::kSimFolderSize]);

// Takes the folder the simulator reported: completes it with a backslash and checks that it opens
// (verifyBaseDir). 1 when basedir is set and accessible; otherwise 0 after a level-0 line. A folder
// below a Program Files folder then decides, with a level-3 line, whether the files below Program Files
// are read from their VirtualStore copies: they are when the simulator runs virtualised.
int determineBaseDir(const char (&reported)[fsuipc::kSimFolderSize]);

// The rest of determineBaseDir for a folder text from elsewhere (the command line): `reported` must end
// within `size` bytes. Logs `reportedBy` and the text at level 4, then completes and checks it, and
// chooses the VirtualStore rule (for the simulator of the link when one is open).
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

// With basedir set and checked: turns on the reading of VirtualStore copies (platform/virtual_store.h)
// when basedir lies below a Program Files folder and FS9 runs virtualised. FS9 is the simulator of the
// link (`liveSimulator` 1) or, without a link (the folder comes from the command line), the FS98MAIN
// program of this machine when it runs from basedir; with neither, FS9 started normally would read the
// copies, and so does kestrel. A basedir in 8.3 form is taken in its long form first. One level-3 line
// says which rule applied, or one level-2 line that the system's folders cannot be had. A folder
// elsewhere, or a system without VirtualStore, logs nothing. Part of determineBaseDir and useBaseDir.
void chooseVirtualStoreRule(int liveSimulator);

// 1 when the FS98MAIN program of this machine runs from `folder` (as Windows compares paths, each in
// its long form): FS9 there, not WideClient, whose window has that class too, nor a simulator elsewhere.
int simulatorRunsFrom(const char* folder);

// Where the VirtualStore decision gets this system's folders, the simulator's virtualisation and the
// long form of a path; tests put their own in. Null: the platform's.
using VirtualStoreFoldersQuery = VirtualStoreSystem (*)(VirtualStoreFolders& folders);
using SimVirtualisationQuery = SimVirtualisation (*)();
using LongPathQuery = int (*)(const char* path, char* out, size_t size);
void useVirtualStoreQueries(VirtualStoreFoldersQuery folders, SimVirtualisationQuery virtualisation,
                            LongPathQuery longPath = nullptr);
