#include "airportdb/unread_note.h"

#include <cstring>

#include "airportdb/database_file.h"
#include "core/bytes.h"
#include "platform/platform.h"

namespace {

constexpr uint8_t kMagic[4] = {'K', 'U', 'N', 'R'};
constexpr uint32_t kNoteSize = 24;

void notePath(char* path) {
    databaseCompanionPath(path, kCompanionPathSize, kUnreadSuffix);
}

void noteBytes(uint8_t* bytes, uint32_t count, const Digest& paths) {
    std::memcpy(bytes, kMagic, sizeof kMagic);
    putU32(bytes + 4, count);
    std::memcpy(bytes + 8, paths.bytes, sizeof paths.bytes);
}

}  // namespace

int unreadNoteMatches(uint32_t count, const Digest& paths) {
    char path[kCompanionPathSize];
    notePath(path);
    const PlatformHandle file = platformOpenFileForReading(path);
    if (file == kInvalidHandle) return 0;
    uint8_t stored[kNoteSize + 1] = {};
    uint32_t got = 0;
    const int read = platformReadFile(file, stored, sizeof stored, &got);
    platformCloseHandle(file);
    uint8_t expected[kNoteSize];
    noteBytes(expected, count, paths);
    return read && got == kNoteSize && std::memcmp(stored, expected, kNoteSize) == 0 ? 1 : 0;
}

void writeUnreadNote(uint32_t count, const Digest& paths) {
    char path[kCompanionPathSize];
    notePath(path);
    uint8_t bytes[kNoteSize];
    noteBytes(bytes, count, paths);
    const PlatformHandle file = platformCreateFileForWriting(path);
    if (file == kInvalidHandle) return;
    uint32_t written = 0;
    const int ok = platformWriteFile(file, bytes, kNoteSize, &written) && written == kNoteSize;
    platformCloseHandle(file);
    if (!ok) platformDeleteFile(path);
}

void removeUnreadNote() {
    char path[kCompanionPathSize];
    notePath(path);
    platformDeleteFile(path);
}
