#include "core/kestrel_folder.h"

#include <cstdio>

#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"

namespace {

// The folder's bytes with its NUL, leaving room for the longest file name behind it.
constexpr size_t kFolderRoom = kPathBufferSize - (sizeof kLongestFileName - 1);

FolderQuery programQuery = nullptr;
FolderQuery workingQuery = nullptr;

// Why the program's folder is not kestrel's folder, for logKestrelFolderNote.
struct FolderNote {
    FolderName program = FolderName::own;  // own or shortName: it is
    char programShown[kPathBufferSize] = {};
    char workingShown[kPathBufferSize] = {};
    char error[256] = {};
};

FolderNote note;

}  // namespace

void useFolderQueries(FolderQuery program, FolderQuery working) {
    programQuery = program;
    workingQuery = working;
}

void takeKestrelFolder() {
    note = FolderNote{};
    core.kestrelFolder[0] = '\0';
    note.program = (programQuery ? programQuery : platformProgramFolder)(
        core.kestrelFolder, kFolderRoom, note.programShown, sizeof note.programShown);
    if (isNamed(note.program)) return;
    if (note.program == FolderName::unknown) {
        char* error = lastErrorText();
        std::snprintf(note.error, sizeof note.error, "%s", error);
        releaseErrorText(error);
    }
    // The working folder by its full name, so that every line names kestrel's files in full; when even
    // that cannot be had, by the relative names.
    core.kestrelFolder[0] = '\0';
    const FolderName working = (workingQuery ? workingQuery : platformWorkingFolder)(
        core.kestrelFolder, kFolderRoom, note.workingShown, sizeof note.workingShown);
    if (!isNamed(working)) core.kestrelFolder[0] = '\0';
    if (note.workingShown[0] == '\0') std::snprintf(note.workingShown, sizeof note.workingShown, ".");
}

void logKestrelFolderNote() {
    switch (note.program) {
        case FolderName::own:
        case FolderName::shortName:
            break;
        case FolderName::unspellable:
            logMessage(
                0,
                "The folder of the kestrel program, %s, has a name that this system's code page cannot "
                "spell and no short (8.3) name: kestrel keeps its files in the working folder %s",
                note.programShown, note.workingShown);
            break;
        case FolderName::tooLong:
            logMessage(0,
                       "The folder of the kestrel program, %s, is too long for kestrel's files (at most %u "
                       "characters): kestrel keeps them in the working folder %s",
                       note.programShown, static_cast<unsigned>(kFolderRoom - 1), note.workingShown);
            break;
        case FolderName::unknown:
            logMessage(
                0,
                "kestrel cannot tell the folder of its program (%s): it keeps its files in the working "
                "folder %s",
                note.error, note.workingShown);
            break;
    }
}

void kestrelFilePath(const char* name, char* out, size_t size) {
    if (core.kestrelFolder[0] == '\0')
        std::snprintf(out, size, ".\\%s", name);
    else
        std::snprintf(out, size, "%s%s", core.kestrelFolder, name);
}
