#include "support/log_capture.h"

#include "core/log.h"

namespace {

std::string captured;

void appendCaptured(const char* bytes, size_t length) {
    captured.append(bytes, length);
}

}  // namespace

LogCapture::LogCapture(int32_t level) {
    captured.clear();
    setLogLevel(level);
    setLogSink(appendCaptured);
}

LogCapture::~LogCapture() {
    setLogSink(nullptr);
}

const std::string& LogCapture::text() const {
    return captured;
}

void LogCapture::clear() {
    captured.clear();
}
