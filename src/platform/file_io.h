// Plain file reading and writing through a handle, for the database file.
#pragma once

#include <cstdint>

// A file handle; kInvalidFileHandle means no file is open.
using FileHandle = intptr_t;
constexpr FileHandle kInvalidFileHandle = -1;

// Opens an existing file for reading, shared for reading with others.
FileHandle platformOpenFileForReading(const char* path);

// Creates a file for writing, replacing any file of that name; others may only read it meanwhile.
FileHandle platformCreateFileForWriting(const char* path);

// Reads up to `size` bytes; returns 1 and the count read (0 at the end), or 0 on failure.
int platformReadFile(FileHandle file, void* buffer, uint32_t size, uint32_t* bytesRead);

// Writes `size` bytes; returns 1 and the count written, or 0 on failure.
int platformWriteFile(FileHandle file, const void* buffer, uint32_t size, uint32_t* bytesWritten);

// Moves the file position back to the first byte. Returns 1 on success.
int platformRewindFile(FileHandle file);

// The file's size in bytes. Returns 1 on success.
int platformFileSize(FileHandle file, uint64_t* size);

void platformCloseFile(FileHandle file);

// Renames `from` to `to`, replacing an existing `to` in one step. Returns 1 on success.
int platformReplaceFile(const char* from, const char* to);

// Removes a file. Returns 1 on success.
int platformDeleteFile(const char* path);
