#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/ansi_path.h"

namespace {

constexpr DWORD kLongestWidePath = 32768;  // what the system's wide calls can name at all

// The folder `path` (ending with a backslash) as the ANSI calls take it. A \\?\ name (a program started
// by such a path, a working folder set by one) goes without its prefix: the ANSI calls do not take it.
FolderName nameOf(const wchar_t* path, char* out, size_t room, char* shown, size_t shownSize) {
    std::wstring folder = path;
    if (folder.rfind(L"\\\\?\\UNC\\", 0) == 0)
        folder.replace(0, 8, L"\\\\");
    else if (folder.rfind(L"\\\\?\\", 0) == 0)
        folder.erase(0, 4);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    shownPathOf(folder.c_str(), shown, shownSize);
    return ansiPathOf(folder.c_str(), out, room);
}

}  // namespace

// The name the program was started by. A running program's file cannot be removed; it can be renamed,
// or moved within its drive, and the name stays the one of the start (the folder it was started from).
FolderName platformProgramFolder(char* out, size_t room, char* shown, size_t shownSize) {
    if (shownSize > 0) shown[0] = '\0';
    std::vector<wchar_t> path(kLongestWidePath);
    // Windows XP leaves a cut name without its NUL: a full buffer counts as cut.
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), kLongestWidePath);
    if (length == 0) return FolderName::unknown;
    if (length >= kLongestWidePath) return FolderName::tooLong;
    path[length] = L'\0';
    wchar_t* lastBackslash = std::wcsrchr(path.data(), L'\\');
    if (!lastBackslash) {
        SetLastError(ERROR_BAD_PATHNAME);
        return FolderName::unknown;
    }
    lastBackslash[1] = L'\0';
    return nameOf(path.data(), out, room, shown, shownSize);
}

FolderName platformWorkingFolder(char* out, size_t room, char* shown, size_t shownSize) {
    if (shownSize > 0) shown[0] = '\0';
    std::vector<wchar_t> path(kLongestWidePath);
    const DWORD length = GetCurrentDirectoryW(kLongestWidePath, path.data());
    if (length == 0) return FolderName::unknown;
    if (length >= kLongestWidePath) return FolderName::tooLong;
    return nameOf(path.data(), out, room, shown, shownSize);
}
