#include "core/log_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/core_state.h"
#include "core/log.h"
#include "platform/platform.h"

namespace {

PlatformHandle logFile = kInvalidHandle;
char logPath[kPathBufferSize] = {};

// One console line and no more: the run goes on without the file.
void giveUp(const char* what) {
    char* error = lastErrorText();
    const PlatformHandle file = logFile;
    logFile = kInvalidHandle;  // the line below goes to the console only
    platformCloseHandle(file);
    logMessage(0, "Unable to %s the log file %s, error was: %s. kestrel goes on without it.", what, logPath,
               error);
    releaseErrorText(error);
}

constexpr size_t kStampLength = 13;  // "hh:mm:ss.mmm "

// The time of day as the line's stamp, digit by digit: nothing here may allocate.
void putTimeOfDay(char* out) {
    const PlatformTimeOfDay now = platformTimeOfDay();
    const uint32_t fields[4] = {now.hour % 100, now.minute % 100, now.second % 100, now.millisecond % 1000};
    char* at = out;
    for (int i = 0; i < 3; ++i) {
        *at++ = static_cast<char>('0' + fields[i] / 10);
        *at++ = static_cast<char>('0' + fields[i] % 10);
        *at++ = i < 2 ? ':' : '.';
    }
    *at++ = static_cast<char>('0' + fields[3] / 100);
    *at++ = static_cast<char>('0' + fields[3] / 10 % 10);
    *at++ = static_cast<char>('0' + fields[3] % 10);
    *at = ' ';
}

// Writes what the piece holds and empties it; 0 after giving up on the file.
int writePiece(const char* piece, size_t& used) {
    uint32_t written = 0;
    const bool whole =
        platformWriteFile(logFile, piece, static_cast<uint32_t>(used), &written) && written == used;
    used = 0;
    if (whole) return 1;
    giveUp("write");
    return 0;
}

}  // namespace

int openLogFile(const char* path) {
    closeLogFile();
    std::snprintf(logPath, sizeof logPath, "%s", path);
    logFile = platformCreateFileForWriting(path);
    if (logFile == kInvalidHandle) {
        giveUp("create");
        return 0;
    }
    return 1;
}

void closeLogFile() {
    platformCloseHandle(logFile);
    logFile = kInvalidHandle;
}

void writeLogFile(const char* bytes, size_t length) {
    if (logFile == kInvalidHandle) return;
    // Composed on the stack and written in pieces, never in a heap block: the lines that say memory
    // ran out must reach the file too, and a failed allocation here would end kestrel.
    char piece[kLogBufferSize];
    size_t used = 0;
    for (size_t at = 0; at < length;) {
        if (sizeof piece - used < kStampLength && !writePiece(piece, used)) return;
        putTimeOfDay(piece + used);
        used += kStampLength;
        const void* lineFeed = std::memchr(bytes + at, '\n', length - at);
        const size_t lineEnd =
            lineFeed ? static_cast<size_t>(static_cast<const char*>(lineFeed) - bytes) + 1 : length;
        while (at < lineEnd) {
            if (used == sizeof piece && !writePiece(piece, used)) return;
            const size_t take = std::min(lineEnd - at, sizeof piece - used);
            std::memcpy(piece + used, bytes + at, take);
            used += take;
            at += take;
        }
    }
    if (used > 0) writePiece(piece, used);
}
