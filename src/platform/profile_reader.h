// Our own reader of private-profile (INI) files, following the rules of the Windows reader
// (GetPrivateProfileStringA / GetPrivateProfileIntA) as observed on the real API. The POSIX platform
// uses it; the Windows build compiles it too, so a test can hold it against the real calls.
#pragma once

#include <cstdint>

// `path` is a native path (no backslash translation happens here).
uint32_t profileReadString(const char* section, const char* key, const char* defaultValue, char* out,
                           uint32_t size, const char* path);
uint32_t profileReadInt(const char* section, const char* key, int32_t defaultValue, const char* path);

// Until profileRelease(), lookups in the file at `path` take it as unchanged since this call: they
// answer from the copy parsed (or the absence seen) here and ask the file system nothing. For a reader
// that probes one file thousands of times in a moment.
void profileHold(const char* path);
void profileRelease();

// The integer rule of the Windows reader on a text that the string reader produced: leading blanks and
// control characters skipped, an optional sign, "0x", "0o" or "0b" selecting the base, digits up to the
// first character that is not one, wrapping modulo 2^32.
uint32_t profileTextToInt(const char* text);
