// This test process on a console for a while, to read its screen and input mode and to type into it:
// a console of its own, or the console of another process (kestrel.exe's).
#pragma once

#include <windows.h>

#include <string>

class AttachedConsole {
public:
    // Leaves the console this process is on and allocates one (processId 0) or attaches to that of
    // `processId`. The standard handles stay as they were; a Ctrl+C typed there is ignored here.
    explicit AttachedConsole(DWORD processId = 0);
    ~AttachedConsole();
    AttachedConsole(const AttachedConsole&) = delete;
    AttachedConsole& operator=(const AttachedConsole&) = delete;

    bool attached() const { return input_ != INVALID_HANDLE_VALUE; }
    HANDLE input() const { return input_; }
    HANDLE output() const { return output_; }
    DWORD inputMode() const;
    std::string screen() const;  // the text up to the cursor's line
    bool shows(const std::string& text) const { return screen().find(text) != std::string::npos; }
    // A key-down record, which the console turns into a character (Enter, Ctrl+C).
    void press(char character, WORD virtualKey, DWORD controlKeys = 0);

private:
    HANDLE saved_[3] = {};
    HANDLE input_ = INVALID_HANDLE_VALUE, output_ = INVALID_HANDLE_VALUE;
};
