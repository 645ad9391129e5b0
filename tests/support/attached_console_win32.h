// This test process on a console for a while, to read its screen and input mode and to type into it:
// a console of its own, or the console of another process (kestrel.exe's).
#pragma once

#include <windows.h>

#include <string>

class AttachedConsole {
public:
    static constexpr DWORD kOwnConsole = 0;

    // Leaves the console this process is on, then allocates one (kOwnConsole) or attaches to that of
    // `processId`. A Ctrl+C typed there reaches every process on it: this one ignores it meanwhile.
    explicit AttachedConsole(DWORD processId);
    ~AttachedConsole();  // leave()
    AttachedConsole(const AttachedConsole&) = delete;
    AttachedConsole& operator=(const AttachedConsole&) = delete;

    bool attached() const { return attached_; }
    // Leaves the console; the process's standard handles are as they were before.
    void leave();

    HANDLE input() const { return input_; }
    HANDLE output() const { return output_; }
    DWORD inputMode() const;
    // The screen's text up to the cursor's line, each line padded with blanks to the buffer's width.
    std::string screen() const;
    bool shows(const std::string& text) const { return screen().find(text) != std::string::npos; }
    // One key pressed, as a key-down record: the console turns it into a character (Enter, Ctrl+C).
    void press(char character, WORD virtualKey, DWORD controlKeys = 0);
    HWND window() const { return GetConsoleWindow(); }

private:
    HANDLE saved_[3] = {};
    bool attached_ = false;
    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE output_ = INVALID_HANDLE_VALUE;
};
