#include "core/log.h"

#include <cstdarg>
#include <cstdio>

#include "core/log_file.h"
#include "platform/platform.h"

namespace {

int32_t logLevel = 0;
LogSink logSink = nullptr;

void writeLog(const char* bytes, size_t length) {
    if (logSink) {
        logSink(bytes, length);
        return;
    }
    std::fwrite(bytes, 1, length, stdout);
}

}  // namespace

void setLogLevel(int32_t level) {
    logLevel = level;
}

int32_t currentLogLevel() {
    return logLevel;
}

void setLogSink(LogSink sink) {
    logSink = sink;
}

void logMessage(int32_t level, const char* format, ...) {
    if (level > logLevel) return;

    char message[kLogBufferSize + 2];  // room for the line end behind the longest message
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(message, kLogBufferSize, format, args);
    va_end(args);
    size_t length = 0;
    if (written > 0) length = static_cast<size_t>(written) < kLogBufferSize ? written : kLogBufferSize - 1;
    if (length == 0 || message[length - 1] != '\n') {
        message[length++] = '\r';
        message[length++] = '\n';
    }

    writeLog(message, length);
    if (!logSink) std::fflush(stdout);
    writeLogFile(message, length);
}

char* lastErrorText() {
    return platformErrorText(platformLastError());
}

void releaseErrorText(char* text) {
    platformReleaseErrorText(text);
}
