// The folders kestrel's own files can lie in, as the program's own file calls can name them: the folder
// of the running executable (GetModuleFileNameW; /proc/self/exe), and the working folder.
#pragma once

#include <cstddef>

// How a folder came out.
enum class FolderName {
    own,          // by its own name
    shortName,    // by its short (8.3) name: its own one cannot be spelled, or is too long (Windows)
    unspellable,  // no name of it can be spelled: the system's code page lacks some character and it
                  // has no short name (Windows), or it holds a backslash, which the program's paths
                  // take for a separator (POSIX)
    tooLong,      // every name it has needs more than the room given
    unknown,      // the system could not say; the last error says why
};

// 1 for the outcomes that name the folder.
constexpr bool isNamed(FolderName name) {
    return name == FolderName::own || name == FolderName::shortName;
}

// The folder, ending with its separator, into `out`, which has `room` bytes for it and its NUL
// (written only for `own` and `shortName`). `shown` (`shownSize` bytes) gets the folder for a message
// whatever the outcome: what the code page cannot spell as '?', cut to fit, empty when unknown.
FolderName platformProgramFolder(char* out, size_t room, char* shown, size_t shownSize);
FolderName platformWorkingFolder(char* out, size_t room, char* shown, size_t shownSize);
