#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

uint32_t platformLastError() {
    return GetLastError();
}

void platformSetLastError(uint32_t code) {
    SetLastError(code);
}

namespace {

// The system's texts end in a full stop and CR LF, and a few hold line breaks of their own; the text goes
// inside one log line, whose own text follows it ("error was: %s."), so every line break becomes a single
// blank, and trailing blanks and the closing full stop go.
void keepOnOneLine(char* text) {
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (*in != '\r' && *in != '\n') {
            *out++ = *in;
        } else if (out != text && out[-1] != ' ') {
            *out++ = ' ';
        }
    }
    while (out != text && (out[-1] == ' ' || out[-1] == '\t'))
        --out;
    if (out != text && out[-1] == '.') --out;
    *out = '\0';
}

}  // namespace

char* platformErrorText(uint32_t code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text) {
        keepOnOneLine(text);
        if (text[0] != '\0') return text;
        LocalFree(text);
    }
    // No text in the system's table: the code itself, in a block LocalFree can release.
    text = static_cast<char*>(LocalAlloc(LMEM_FIXED, 32));
    if (text) std::snprintf(text, 32, "error %lu", static_cast<unsigned long>(code));
    return text;
}

void platformReleaseErrorText(char* text) {
    if (text) LocalFree(text);
}
