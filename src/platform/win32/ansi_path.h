// Paths the system gives as wide text (the program's own file, the shell's folders), turned into paths
// the program's ANSI calls take. Windows hands an ANSI call a path in the system's ANSI code page: a
// character that code page lacks comes out as '?' (or as a look-alike) and names another file, or none.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/program_folder.h"

// `wide` as ANSI text into `out` (`room` bytes with the NUL), by its own name only: `own`, `unspellable`
// or `tooLong`.
FolderName ansiNameOf(const wchar_t* wide, char* out, size_t room);

// The existing file or folder `wide` as an ANSI path into `out` (`room` bytes with the NUL): its own
// name when it converts without loss and fits, else its short (8.3) name when that does. `own`,
// `shortName`, `unspellable` (neither converts) or `tooLong` (one converts, but none fits); `out` holds
// a name only for the first two.
FolderName ansiPathOf(const wchar_t* wide, char* out, size_t room);

// `wide` for a message, into `out` (`size` bytes): what the code page lacks as '?', cut to fit.
void shownPathOf(const wchar_t* wide, char* out, size_t size);

// The ANSI path `path` as wide text, into `out` (`size` characters). 1, or 0 when it does not fit.
int widePathOf(const char* path, wchar_t* out, size_t size);
