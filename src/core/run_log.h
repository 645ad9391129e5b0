// The log of a start or a --build. Each run writes a fresh kestrel.log; the one before it is kept as
// kestrel.prev.log, so that the log of the flight that went wrong survives the next start.
#pragma once

// Keeps the log at `path` (shorter than kPathBufferSize) as its previous log beside it (".log" becomes
// ".prev.log"), replacing the one before, then opens a fresh log there (openLogFile). A log that is not
// there yet is nothing to keep; one that cannot be kept costs one level-0 line, in the fresh log too,
// and nothing else. Returns what openLogFile returns.
int openRunLog(const char* path);

// The log of this run in kestrel's folder (core/kestrel_folder.h): openRunLog of its kestrel.log, then
// the line that says why that folder is not the program's, when it is not.
int openKestrelLog();
