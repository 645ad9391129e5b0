#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

FolderName nameOf(std::string folder, char* out, size_t room, char* shown, size_t shownSize) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (shownSize > 0) std::snprintf(shown, shownSize, "%s", folder.c_str());
    // The program's paths are Windows paths: a backslash in a name would turn into a separator.
    if (folder.find('\\') != std::string::npos) return FolderName::unspellable;
    if (folder.size() + 1 > room) return FolderName::tooLong;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return FolderName::own;
}

}  // namespace

// The kernel keeps track of the executable: after a move the link names where it lies now, and after
// its removal the name has " (deleted)" behind it, which goes with the cut at the last slash. What the
// folder then holds is checked: a folder removed with the program is no place for kestrel's files.
// (Started through the dynamic loader by hand, the link names the loader; sanitizer runtimes do not
// change it.)
FolderName platformProgramFolder(char* out, size_t room, char* shown, size_t shownSize) {
    if (shownSize > 0) shown[0] = '\0';
    char target[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", target, sizeof target);
    if (length < 0) return FolderName::unknown;
    if (static_cast<size_t>(length) == sizeof target) return FolderName::tooLong;
    const std::string path(target, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        errno = ENOENT;
        return FolderName::unknown;
    }
    const std::string folder = path.substr(0, slash + 1);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0) return FolderName::unknown;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return FolderName::unknown;
    }
    return nameOf(folder, out, room, shown, shownSize);
}

FolderName platformWorkingFolder(char* out, size_t room, char* shown, size_t shownSize) {
    if (shownSize > 0) shown[0] = '\0';
    char folder[PATH_MAX + 1];
    // A removed working folder fails here (ENOENT), rather than giving a name that no longer exists.
    if (!getcwd(folder, sizeof folder)) return errno == ERANGE ? FolderName::tooLong : FolderName::unknown;
    return nameOf(folder, out, room, shown, shownSize);
}
