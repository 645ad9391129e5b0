// The calling thread's last system error and its text.
#pragma once

#include <cstdint>

// The calling thread's last system error code (GetLastError; errno on POSIX).
uint32_t platformLastError();

// Sets the calling thread's last system error code.
void platformSetLastError(uint32_t code);

// A newly allocated, NUL-terminated description of `code` on one line (no line breaks, no trailing
// blanks), never empty and never null. Release it with platformReleaseErrorText.
char* platformErrorText(uint32_t code);
void platformReleaseErrorText(char* text);
