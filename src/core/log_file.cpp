#include "core/log_file.h"

#include <cstdio>
#include <string>

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

void appendTimeOfDay(std::string& text) {
    const PlatformTimeOfDay now = platformTimeOfDay();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u.%03u ", now.hour % 100, now.minute % 100, now.second % 100,
                  now.millisecond % 1000);
    text += stamp;
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
    std::string text;
    text.reserve(length + 16);
    for (size_t i = 0; i < length; ++i) {
        if (i == 0 || bytes[i - 1] == '\n') appendTimeOfDay(text);
        text += bytes[i];
    }
    uint32_t written = 0;
    if (!platformWriteFile(logFile, text.data(), static_cast<uint32_t>(text.size()), &written) ||
        written != text.size())
        giveUp("write");
}
