#include "platform/win32/ansi_path.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// Longer names fit none of the program's path buffers: a wide character takes at least one byte.
constexpr size_t kLongest = 1024;

// `wide` in the ANSI code page into `out`. The bytes written with the NUL; 0 when the code page lacks a
// character; -1 when it does not lack one, but the text needs more than `room` bytes.
int convertWithoutLoss(const wchar_t* wide, char* out, size_t room) {
    // UTF-8 as the ANSI code page (an option of Windows 10 and later) spells every character but a
    // lone surrogate, and refuses both the no-best-fit flag and the used-default answer.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int needed = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, used);
    if (needed <= 0 || usedDefault) return 0;
    if (static_cast<size_t>(needed) > room) return -1;
    if (WideCharToMultiByte(CP_ACP, flags, wide, -1, out, needed, nullptr, used) != needed || usedDefault)
        return 0;
    // The name an ANSI call turns it back into must be this one.
    wchar_t back[kLongest];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, out, -1, back, kLongest) <= 0 ||
        std::wcscmp(back, wide) != 0) {
        out[0] = '\0';
        return 0;
    }
    return needed;
}

}  // namespace

FolderName ansiNameOf(const wchar_t* wide, char* out, size_t room) {
    const int converted = convertWithoutLoss(wide, out, room > kLongest ? kLongest : room);
    return converted > 0 ? FolderName::own : converted < 0 ? FolderName::tooLong : FolderName::unspellable;
}

FolderName ansiPathOf(const wchar_t* wide, char* out, size_t room) {
    if (room > kLongest) room = kLongest;
    const int own = convertWithoutLoss(wide, out, room);
    if (own > 0) return FolderName::own;
    // A name without a short form (8.3 names are off on many volumes, and a name that is 8.3 already
    // needs none) comes back as it is.
    wchar_t shortForm[kLongest];
    const DWORD length = GetShortPathNameW(wide, shortForm, kLongest);
    if (length >= kLongest) return FolderName::tooLong;
    if (length > 0 && std::wcscmp(shortForm, wide) != 0) {
        const int converted = convertWithoutLoss(shortForm, out, room);
        if (converted > 0) return FolderName::shortName;
        if (converted < 0) return FolderName::tooLong;
    }
    return own < 0 ? FolderName::tooLong : FolderName::unspellable;
}

void shownPathOf(const wchar_t* wide, char* out, size_t size) {
    if (size == 0) return;
    out[0] = '\0';
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int needed = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return;
    std::string text(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, wide, -1, text.data(), needed, nullptr, nullptr) != needed) return;
    std::snprintf(out, size, "%s", text.c_str());
}

int widePathOf(const char* path, wchar_t* out, size_t size) {
    return MultiByteToWideChar(CP_ACP, 0, path, -1, out, static_cast<int>(size)) > 0 ? 1 : 0;
}
