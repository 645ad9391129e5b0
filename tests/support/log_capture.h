// Captures everything the log writes while it is alive, at the log level given.
#pragma once

#include <cstdint>
#include <string>

class LogCapture {
public:
    explicit LogCapture(int32_t level = 5);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::string& text() const;
    bool contains(const std::string& needle) const { return text().find(needle) != std::string::npos; }
    void clear();
};
