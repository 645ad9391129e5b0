// Where kestrel's own files lie: kestrel.ini, kestrel.dat and the files written with it, kestrel.log.
// All in one folder, the folder of the running program, whatever folder it was started from, so that a
// program that starts kestrel.exe by its path (the simulator interface's own program entries) needs no
// batch file in between. kestrel never changes its working folder: the user's relative paths (--fs-dir,
// --database) go on meaning it.
#pragma once

#include <cstddef>

#include "platform/program_folder.h"

constexpr const char* kSettingsFileName = "kestrel.ini";
constexpr const char* kDatabaseFileName = "kestrel.dat";
constexpr const char* kLogFileName = "kestrel.log";
// The longest name kestrel gives a file of its folder: the stamps while they are stored. The folder
// leaves room for it in a path buffer.
constexpr const char kLongestFileName[] = "kestrel.dat.stamps.tmp";

// Sets core.kestrelFolder, once, first thing in kestrelMain: the program's folder when the program's
// file calls can name it (by its short name, where only that does) with room for every file's name;
// otherwise the working folder, and logKestrelFolderNote says why.
void takeKestrelFolder();

// The level-0 line that says why kestrel's files are not beside the program, when they are not.
// Logged once the log file is open, so that the log holds it too.
void logKestrelFolderNote();

// The path of `name` in kestrel's folder into `out` (`size` bytes): the folder followed by the name, or
// ".\" and the name while the folder is empty (the default, which in-process tests keep).
void kestrelFilePath(const char* name, char* out, size_t size);

// Where takeKestrelFolder asks for the two folders (platform/program_folder.h); tests put their own
// in. Null: the platform's.
using FolderQuery = FolderName (*)(char* out, size_t room, char* shown, size_t shownSize);
void useFolderQueries(FolderQuery program, FolderQuery working);
