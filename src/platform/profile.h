// Reading private-profile (INI) settings files with the Windows reader's rules.
#pragma once

#include <cstdint>

// GetPrivateProfileIntA: the integer value of `key` in `section` of the file at `path`, or
// `defaultValue` when the file, the section or the key is missing or the value is empty.
uint32_t platformProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path);

// GetPrivateProfileStringA: copies the value of `key` (or `defaultValue` when missing) into `out`,
// at most size - 1 characters plus a NUL, and returns the number of characters copied.
uint32_t platformProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                               uint32_t size, const char* path);

// Marks the start and end of a burst of lookups in one file that does not change meanwhile, so the
// reader may answer them without going back to the file system. Lookups between the two give the
// same answers as without them.
void platformProfileHold(const char* path);
void platformProfileRelease();
