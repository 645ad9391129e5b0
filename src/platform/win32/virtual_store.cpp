#include <windows.h>
// shlobj.h needs the types of windows.h first.
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
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

// Only a system that virtualises asks the shell for its folders.
HRESULT shellFolderPath(int id, char* folder) {
    using Function = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    static const Function function = systemFunction<Function>("shell32.dll", "SHGetFolderPathA");
    return function ? function(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder) : E_NOTIMPL;
}

void addShellFolder(VirtualStoreFolders& folders, int id) {
    char folder[MAX_PATH] = {};
    if (SUCCEEDED(shellFolderPath(id, folder)))
        addProgramFolder(folders, folder);
}

bool isFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

int platformVirtualStoreFolders(VirtualStoreFolders& folders) {
    folders = VirtualStoreFolders{};
    if (!systemVirtualises()) return 0;
    // A 32-bit program on a 64-bit Windows is given "Program Files (x86)" for both folders; the
    // environment names the other one (for 64-bit programs too).
    addShellFolder(folders, CSIDL_PROGRAM_FILES);
    addShellFolder(folders, CSIDL_PROGRAM_FILESX86);
    char native[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("ProgramW6432", native, sizeof native);
    if (length > 0 && length < sizeof native) addProgramFolder(folders, native);

    char local[MAX_PATH] = {};
    if (FAILED(shellFolderPath(CSIDL_LOCAL_APPDATA, local))) return 0;
    const int written = std::snprintf(folders.store, sizeof folders.store, "%s%sVirtualStore\\", local,
                                      local[0] != '\0' && local[std::strlen(local) - 1] == '\\' ? "" : "\\");
    if (written <= 0 || static_cast<size_t>(written) >= sizeof folders.store) return 0;
    return folders.programFiles[0][0] != '\0' ? 1 : 0;
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
