#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/ansi_path.h"
#include "platform/win32/system_function.h"

namespace {

struct ReadRule {
    bool on = false;
    VirtualStoreFolders folders{};
};

ReadRule rule;

// Windows XP has neither UAC nor VirtualStore; it does not know the token's virtualisation either.
bool systemVirtualises() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD enabled = 0;
    DWORD length = 0;
    const BOOL known =
        GetTokenInformation(token, TokenVirtualizationEnabled, &enabled, sizeof enabled, &length);
    CloseHandle(token);
    return known != FALSE;
}

// `folder` with a trailing backslash into the next free slot, unless it is empty, too long or there
// already.
void addProgramFolder(VirtualStoreFolders& folders, const char* folder) {
    const size_t length = std::strlen(folder);
    if (length < 3 || length + 2 > kVirtualStoreFolderSize) return;
    char completed[kVirtualStoreFolderSize];
    std::snprintf(completed, sizeof completed, "%s%s", folder, folder[length - 1] == '\\' ? "" : "\\");
    for (char* slot : folders.programFiles) {
        if (slot[0] == '\0') {
            std::memcpy(slot, completed, std::strlen(completed) + 1);
            return;
        }
        if (lstrcmpiA(slot, completed) == 0) return;
    }
}

// Only a system that virtualises asks the shell for its folders, by the wide call: the ANSI one gives a
// user name outside the code page (a Cyrillic name on an English Windows) as '?'s, a folder that is
// not there. `folder` has MAX_PATH characters and gets a trailing backslash.
HRESULT shellFolderPath(int id, wchar_t* folder) {
    using Function = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    static const Function function = systemFunction<Function>("shell32.dll", "SHGetFolderPathW");
    const HRESULT result = function ? function(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder) : E_NOTIMPL;
    const size_t length = SUCCEEDED(result) ? std::wcslen(folder) : 0;
    if (length > 0 && length + 1 < MAX_PATH && folder[length - 1] != L'\\') {
        folder[length] = L'\\';
        folder[length + 1] = L'\0';
    }
    return result;
}

void addShellFolder(VirtualStoreFolders& folders, int id) {
    wchar_t folder[MAX_PATH] = {};
    char ansi[kVirtualStoreFolderSize];
    if (SUCCEEDED(shellFolderPath(id, folder)) && isNamed(ansiPathOf(folder, ansi, sizeof ansi)))
        addProgramFolder(folders, ansi);
}

constexpr char kStoreName[] = "VirtualStore\\";

bool isFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

VirtualStoreSystem platformVirtualStoreFolders(VirtualStoreFolders& folders) {
    folders = VirtualStoreFolders{};
    if (!systemVirtualises()) return VirtualStoreSystem::none;
    // A 32-bit program on a 64-bit Windows is given "Program Files (x86)" for both folders; the
    // environment names the other one (for 64-bit programs too).
    addShellFolder(folders, CSIDL_PROGRAM_FILES);
    addShellFolder(folders, CSIDL_PROGRAM_FILESX86);
    char native[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("ProgramW6432", native, sizeof native);
    if (length > 0 && length < sizeof native) addProgramFolder(folders, native);

    if (folders.programFiles[0][0] == '\0') return VirtualStoreSystem::noProgramFolders;

    wchar_t local[MAX_PATH] = {};
    folders.storeProblem = FolderName::unknown;
    if (FAILED(shellFolderPath(CSIDL_LOCAL_APPDATA, local))) return VirtualStoreSystem::noStore;
    shownPathOf(local, folders.storeShown, sizeof folders.storeShown);
    // The ANSI calls take a user's folder outside the code page by its short name.
    char ansi[kVirtualStoreFolderSize];
    folders.storeProblem = ansiPathOf(local, ansi, sizeof folders.store - (sizeof kStoreName - 1));
    if (!isNamed(folders.storeProblem)) return VirtualStoreSystem::noStore;
    folders.storeProblem = FolderName::own;
    std::snprintf(folders.store, sizeof folders.store, "%s%s", ansi, kStoreName);
    return VirtualStoreSystem::found;
}

int platformLongPathName(const char* path, char* out, size_t size) {
    wchar_t wide[kVirtualStorePathSize];
    wchar_t longForm[kVirtualStorePathSize];
    if (!widePathOf(path, wide, kVirtualStorePathSize)) return 0;
    const DWORD length = GetLongPathNameW(wide, longForm, kVirtualStorePathSize);
    if (length == 0 || length >= kVirtualStorePathSize) return 0;
    return ansiNameOf(longForm, out, size) == FolderName::own && std::strcmp(out, path) != 0 ? 1 : 0;
}

void platformReadVirtualStoreCopies(const VirtualStoreFolders* folders) {
    rule.on = folders != nullptr;
    rule.folders = folders ? *folders : VirtualStoreFolders{};
}

// Copies whose path is longer than the system's ANSI calls take are not seen: the file itself is read.
const char* platformReadPath(const char* path, char* buffer, size_t size) {
    if (!rule.on || size == 0) return path;
    const size_t limit = size < MAX_PATH ? size : MAX_PATH;
    if (!virtualStoreCopyPath(rule.folders, path, buffer, limit) || !isFile(buffer)) return path;
    return buffer;
}
