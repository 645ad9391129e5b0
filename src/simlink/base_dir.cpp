#include "simlink/base_dir.h"

#include <cstdio>
#include <cstring>

#include "core/config.h"
#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"
#include "simlink/fsuipc_offsets.h"
#include "simlink/ipc_client.h"

char basedir[kPathBufferSize];

namespace {

SimExecutableQuery executableQuery = nullptr;
VirtualStoreFoldersQuery foldersQuery = nullptr;
SimVirtualisationQuery virtualisationQuery = nullptr;
LongPathQuery longPathQuery = nullptr;

bool isUncPath(const char* path) {
    return std::strlen(path) >= 7 && path[0] == '\\' && path[1] == '\\';
}

bool isDrivePath(const char* path) {
    return std::strlen(path) > 2 && path[1] == ':';
}

// On a networked machine the window belongs to WideClient: its folder opens, but the scenery library
// is elsewhere. Only a folder whose scenery.cfg can be read is a simulator folder.
bool holdsSceneryLibrary(const char* folder) {
    char cfgPath[kPathBufferSize];
    int length = std::snprintf(cfgPath, sizeof cfgPath, "%sscenery.cfg", folder);
    if (length < 0 || static_cast<size_t>(length) >= sizeof cfgPath) return false;
    return platformCanOpenForReading(cfgPath) != 0;
}

int problemDeterminingBaseDir() {
    logMessage(0, "%s", kSimFolderProblem);
    return 0;
}

}  // namespace

void useSimExecutableQuery(SimExecutableQuery query) {
    executableQuery = query;
}

int askSimFolder(char (&reported)[fsuipc::kSimFolderSize]) {
    std::memset(reported, 0, sizeof reported);
    return ipcRead(fsuipc::kSimFolder, fsuipc::kSimFolderSize, reported, &ipcResult) &&
           ipcProcess(&ipcResult);
}

int determineBaseDir(const char (&reported)[fsuipc::kSimFolderSize]) {
    return useBaseDir(reported, sizeof reported, "FSUIPC returns basedir: ");
}

int useBaseDir(const char* reported, size_t size, const char* reportedBy) {
    platformReadVirtualStoreCopies(nullptr);  // the folder checks read the files themselves
    // The text comes from the other side: it must end within its bytes, and it needs room for the
    // backslash that completes it.
    const void* end = std::memchr(reported, '\0', size);
    if (!end) return problemDeterminingBaseDir();
    size_t length = static_cast<size_t>(static_cast<const char*>(end) - reported);
    if (length == 0) return problemDeterminingBaseDir();
    if (length + 1 > sizeof basedir || (reported[length - 1] != '\\' && length + 1 >= sizeof basedir))
        return problemDeterminingBaseDir();

    std::memcpy(basedir, reported, length + 1);
    logMessage(4, "%s%s", reportedBy, basedir);
    if (basedir[length - 1] != '\\') {
        basedir[length] = '\\';
        basedir[length + 1] = '\0';
    }
    if (!verifyBaseDir()) return 0;
    logMessage(4, "Using FS base directory: %s", basedir);
    chooseVirtualStoreRule(ipcLink.view != nullptr);  // an open link: a live simulator's folder
    return 1;
}

int verifyBaseDir() {
    char local[kPathBufferSize] = {};
    const char* candidate = basedir;
    const char* alternative = nullptr;
    if (core.config && core.config->forceFsPathToUNC == 0) {
        if (!isUncPath(basedir)) {
            logMessage(5, "Basedir is not a UNC path");
        } else if (localSimDir(local)) {
            if (holdsSceneryLibrary(local)) {
                candidate = local;
                alternative = basedir;
            } else {
                logMessage(4, "No scenery.cfg in %s, the folder of the local FS98MAIN program", local);
            }
        }
    }

    if (platformDirectoryOpens(candidate)) {
        if (candidate != basedir) std::snprintf(basedir, sizeof basedir, "%s", candidate);
        return 1;
    }
    char message[3 * kPathBufferSize + 256];
    int used = std::snprintf(message, sizeof message,
                             "kestrel was looking for the FS9 installation in %s\r\n", candidate);
    if (alternative) {
        if (platformDirectoryOpens(alternative)) return 1;  // the UNC path stays in basedir
        std::snprintf(message + used, sizeof message - used,
                      "It also tried %s\r\nNone of these directories can be accessed, so kestrel will not "
                      "function.",
                      alternative);
    } else {
        std::snprintf(message + used, sizeof message - used,
                      "This directory cannot be accessed, so kestrel will not function.");
    }
    logMessage(0, "%s", message);
    return 0;
}

int localSimDir(char* out) {
    std::memset(out, 0, kPathBufferSize);
    SimExecutableQuery query = executableQuery ? executableQuery : platformSimExecutablePath;
    if (!query(out, kPathBufferSize)) return 0;
    out[kPathBufferSize - 1] = '\0';
    if (isUncPath(out) || !isDrivePath(out)) {
        std::memset(out, 0, kPathBufferSize);
        return 0;
    }
    char* lastBackslash = std::strrchr(out, '\\');
    if (!lastBackslash) {  // cannot come from the system; nothing to cut at
        std::memset(out, 0, kPathBufferSize);
        return 0;
    }
    lastBackslash[1] = '\0';
    return 1;
}

void useVirtualStoreQueries(VirtualStoreFoldersQuery folders, SimVirtualisationQuery virtualisation,
                            LongPathQuery longPath) {
    foldersQuery = folders;
    virtualisationQuery = virtualisation;
    longPathQuery = longPath;
}

namespace {

// `path` in its long form into `out` (kPathBufferSize bytes), with the trailing backslash it had; 1 when
// that differs from `path`.
int longFormOf(const char* path, char* out) {
    if (!(longPathQuery ? longPathQuery : platformLongPathName)(path, out, kPathBufferSize)) return 0;
    const size_t length = std::strlen(out);
    const size_t pathLength = std::strlen(path);
    if (pathLength > 0 && path[pathLength - 1] == '\\' && (length == 0 || out[length - 1] != '\\')) {
        if (length + 2 > kPathBufferSize) return 0;
        out[length] = '\\';
        out[length + 1] = '\0';
    }
    return 1;
}

// FS9 below Program Files started by a short name ("C:\PROGRA~2\FS9\") has its copies where the long
// name has them: the folders are matched, and the files named, in the long form.
void takeLongBaseDir() {
    char longForm[kPathBufferSize];
    if (!longFormOf(basedir, longForm)) return;
    logMessage(4, "The FS9 folder %s is %s in its long form", basedir, longForm);
    std::memcpy(basedir, longForm, std::strlen(longForm) + 1);
}

// The copies' folder of `below` as a message names it, when the system gives no usable one.
void shownCopies(const VirtualStoreFolders& folders, const char* below, char* out, size_t size) {
    std::snprintf(out, size, "%s%sVirtualStore\\%s", folders.storeShown,
                  folders.storeShown[0] != '\0' ? "" : "...\\", below + 3);
}

}  // namespace

int simulatorRunsFrom(const char* folder) {
    char local[kPathBufferSize];
    if (!localSimDir(local)) return 0;
    char longForm[kPathBufferSize];
    if (longFormOf(local, longForm)) std::memcpy(local, longForm, std::strlen(longForm) + 1);
    return sameWindowsPath(local, folder);
}

// FS9 reads the VirtualStore copies of the files it wrote below a Program Files folder when it runs
// virtualised; kestrel reads what FS9 reads.
void chooseVirtualStoreRule(int liveSimulator) {
    platformReadVirtualStoreCopies(nullptr);
    VirtualStoreFolders folders{};
    const VirtualStoreSystem system = (foldersQuery ? foldersQuery : platformVirtualStoreFolders)(folders);
    if (system == VirtualStoreSystem::none) return;
    if (system == VirtualStoreSystem::noProgramFolders) {
        logMessage(
            2,
            "Windows keeps VirtualStore copies of files that programs such as FS9 write below the "
            "Program Files folders, but names no Program Files folder: kestrel reads every file itself");
        return;
    }
    takeLongBaseDir();
    const int programFolder = virtualStoreProgramFolderOf(folders, basedir);
    if (programFolder < 0) return;
    const char* below = folders.programFiles[programFolder];
    char copies[kVirtualStorePathSize];
    if (system == VirtualStoreSystem::noStore)
        shownCopies(folders, below, copies, sizeof copies);
    else if (!virtualStoreCopyPath(folders, below, copies, sizeof copies))
        return;

    const char* copiesBecause = "the simulator folder comes from the command line";
    const char* originalsBecause = nullptr;
    // Without a link, FS9 running from this very folder is asked as the simulator of a link is.
    if (liveSimulator || simulatorRunsFrom(basedir)) {
        switch ((virtualisationQuery ? virtualisationQuery : platformSimVirtualisation)()) {
            case SimVirtualisation::virtualised:
                copiesBecause = "FS9 runs virtualised";
                break;
            case SimVirtualisation::unknown:  // the default of FS9 below Program Files, unless elevated
                copiesBecause = "FS9 could not be asked whether it runs virtualised";
                break;
            case SimVirtualisation::elevated:
                originalsBecause = "FS9 runs elevated";
                break;
            case SimVirtualisation::notVirtualised:
                originalsBecause = "FS9 runs without virtualisation";
                break;
        }
    }
    if (originalsBecause) {
        logMessage(3, "Reading the files below %s themselves, not their VirtualStore copies in %s (%s)",
                   below, copies, originalsBecause);
        return;
    }
    if (system == VirtualStoreSystem::noStore) {
        if (folders.storeProblem == FolderName::unknown)
            logMessage(
                2,
                "Reading the files below %s themselves, not the VirtualStore copies FS9 may read (%s): "
                "Windows does not give the local application data folder",
                below, copiesBecause);
        else
            logMessage(
                2,
                "Reading the files below %s themselves, not the VirtualStore copies FS9 may read (%s): "
                "the local application data folder %s %s",
                below, copiesBecause, folders.storeShown,
                folders.storeProblem == FolderName::tooLong
                    ? "is too long for the copies' paths"
                    : "has a name that this system's code page cannot spell and no short (8.3) name");
        return;
    }
    // kestrel's own files are what kestrel wrote: never a copy.
    std::snprintf(folders.own, sizeof folders.own, "%s", core.kestrelFolder);
    platformReadVirtualStoreCopies(&folders);
    logMessage(3, "Reading the VirtualStore copies of files below %s from %s (%s)", below, copies,
               copiesBecause);
}
