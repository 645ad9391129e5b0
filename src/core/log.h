// The console log: one leveled, printf-style function writing whole lines to standard output.
//
// Levels: 0 errors and the airport trace, 1 file-mapping failures, 2 data faults that skip something,
// 3 notices, 4 normal-course information, 5 per-poll and per-record tracing.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__MINGW32__)
#define KESTREL_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define KESTREL_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KESTREL_PRINTF(fmt, args)
#endif

// A formatted message holds at most this many bytes, its NUL included; longer ones are cut.
constexpr size_t kLogBufferSize = 2048;

void setLogLevel(int32_t level);
int32_t currentLogLevel();

// Prints the message when `level` is at or below the current level (signed). The formatted text is
// written as data; when it is empty or does not end in '\n', "\r\n" follows.
void logMessage(int32_t level, const char* format, ...) KESTREL_PRINTF(2, 3);

// The system's text for the calling thread's last error; never null. Release it with releaseErrorText.
char* lastErrorText();
void releaseErrorText(char* text);

// Where the log's bytes go: standard output unless a test captures them. Null restores stdout.
using LogSink = void (*)(const char* bytes, size_t length);
void setLogSink(LogSink sink);
